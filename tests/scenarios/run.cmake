# Runs one scenario with tools/brelvan-scenario on a copy of the scenario and example folders, so
# that what a scenario saves stays in the build tree and parallel runs do not meet.
#   cmake -DRUNNER=... -DSOURCE_DIR=... -DWORK_DIR=... -DSCENARIO=name.scenario
#         [-DEXPECT_FAILURE=regex] -P run.cmake
# With EXPECT_FAILURE the run must fail and its output match the expression.
file(REMOVE_RECURSE "${WORK_DIR}")
file(COPY "${SOURCE_DIR}/tests/scenarios" DESTINATION "${WORK_DIR}/tests")
file(COPY "${SOURCE_DIR}/examples" DESTINATION "${WORK_DIR}")
# The debugger's fixture firmware, with its debug files.
file(COPY "${SOURCE_DIR}/tests/debug" DESTINATION "${WORK_DIR}/tests")
execute_process(COMMAND "${RUNNER}" "${SCENARIO}"
                WORKING_DIRECTORY "${WORK_DIR}/tests/scenarios"
                RESULT_VARIABLE result OUTPUT_VARIABLE output)
message("${output}")
if(DEFINED EXPECT_FAILURE)
    if(result EQUAL 0)
        message(FATAL_ERROR "${SCENARIO} passed, but it must fail")
    endif()
    if(NOT output MATCHES "${EXPECT_FAILURE}")
        message(FATAL_ERROR "the report of ${SCENARIO} does not match: ${EXPECT_FAILURE}")
    endif()
elseif(NOT result EQUAL 0)
    message(FATAL_ERROR "${SCENARIO} failed (${result})")
endif()
