# Recording traces and writing them out; included from tests/CMakeLists.txt.
brelvan_add_test(test_trace SOURCES test_trace.cpp
                 LIBS brelvan_trace brelvan_editor brelvan_boardfixture brelvan_windowfixture)
target_compile_definitions(test_trace PRIVATE BRELVAN_SOURCE_DIR="${CMAKE_SOURCE_DIR}")

# The serial example's TXD, exported and read back by sigrok-cli and GTKWave's vcd2fst.
add_test(NAME trace_vcd_readers
         COMMAND ${CMAKE_COMMAND} -DRUNNER=$<TARGET_FILE:brelvan-scenario>
                 -DSOURCE_DIR=${CMAKE_SOURCE_DIR}
                 -DWORK_DIR=${CMAKE_CURRENT_BINARY_DIR}/scenario-runs/trace_vcd_readers
                 -DSCENARIO=trace_serial_vcd.scenario -DUART_VCD=serial_txd.vcd -DBAUD=4800
                 -DTEXT=hello -DFST_VCD=serial_echo_all.vcd
                 -P ${CMAKE_CURRENT_SOURCE_DIR}/trace_vcd_check.cmake)
set_tests_properties(trace_vcd_readers PROPERTIES ENVIRONMENT
    "QT_QPA_PLATFORM=offscreen;XDG_CONFIG_HOME=${CMAKE_CURRENT_BINARY_DIR}/test-config/trace_vcd_readers")

# Trace commands that cannot run say why.
brelvan_add_scenario(scenario_trace_unknown failing/trace_unknown.scenario
    "-DEXPECT_FAILURE=trace_unknown\\.scenario:3: error: nothing is named LED9\\.Anode")
brelvan_add_scenario(scenario_export_nothing failing/export_nothing.scenario
    "-DEXPECT_FAILURE=export_nothing\\.scenario:4: error: nothing is traced")
