# Scenario files: small boards and what a user does with them, run by tools/brelvan-scenario;
# included from tests/CMakeLists.txt. Every tests/scenarios/*.scenario is one test.
file(GLOB scenario_files CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/scenarios/*.scenario)
function(brelvan_add_scenario name scenario)
    add_test(NAME ${name}
             COMMAND ${CMAKE_COMMAND} -DRUNNER=$<TARGET_FILE:brelvan-scenario>
                     -DSOURCE_DIR=${CMAKE_SOURCE_DIR}
                     -DWORK_DIR=${CMAKE_CURRENT_BINARY_DIR}/scenario-runs/${name}
                     -DSCENARIO=${scenario} ${ARGN}
                     -P ${CMAKE_CURRENT_SOURCE_DIR}/scenarios/run.cmake)
    set_tests_properties(${name} PROPERTIES ENVIRONMENT
        "XDG_CONFIG_HOME=${CMAKE_CURRENT_BINARY_DIR}/test-config/${name}")
endfunction()
foreach(file ${scenario_files})
    get_filename_component(name ${file} NAME_WE)
    get_filename_component(scenario ${file} NAME)
    brelvan_add_scenario(scenario_${name} ${scenario})
endforeach()

# A wrong expectation fails the run and names its line.
brelvan_add_scenario(scenario_wrong_expect_fails failing/wrong_expect.scenario
    "-DEXPECT_FAILURE=failing/wrong_expect\\.scenario:6: expected cled_BLUE, got cled_GREEN\n1 passed, 1 failed")

# A firmware file that does not load names its line.
brelvan_add_scenario(scenario_firmware_bad_checksum failing/firmware_bad_checksum.scenario
    "-DEXPECT_FAILURE=firmware_bad_checksum\\.scenario:2: error: The firmware badsum\\.hex was not loaded: line 1: checksum mismatch")

# A breakpoint at an unknown place stops the scenario and names it.
brelvan_add_scenario(scenario_debug_break_unknown failing/debug_break_unknown.scenario
    "-DEXPECT_FAILURE=debug_break_unknown\\.scenario:4: error: break nowhere: no function, label or FILE:LINE 'nowhere'")
