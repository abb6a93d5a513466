# Runs a scenario that writes value change dumps, then has outside readers check them: sigrok-cli
# decodes the UART on TXD and must find TEXT, GTKWave's vcd2fst must convert the second dump.
#   cmake -DRUNNER=... -DSOURCE_DIR=... -DWORK_DIR=... -DSCENARIO=... -DUART_VCD=... -DBAUD=...
#         -DTEXT=... -DFST_VCD=... -P trace_vcd_check.cmake
# A missing reader fails the check: `make deps` installs both.
file(REMOVE_RECURSE "${WORK_DIR}")
file(COPY "${SOURCE_DIR}/tests/scenarios" DESTINATION "${WORK_DIR}/tests")
file(COPY "${SOURCE_DIR}/examples" DESTINATION "${WORK_DIR}")
set(dir "${WORK_DIR}/tests/scenarios")
execute_process(COMMAND "${RUNNER}" "${SCENARIO}" WORKING_DIRECTORY "${dir}"
                RESULT_VARIABLE result OUTPUT_VARIABLE output)
message("${output}")
if(NOT result EQUAL 0)
    message(FATAL_ERROR "${SCENARIO} failed (${result})")
endif()

find_program(SIGROK sigrok-cli)
find_program(VCD2FST vcd2fst)
if(NOT SIGROK OR NOT VCD2FST)
    message(FATAL_ERROR "sigrok-cli and vcd2fst are needed (make deps installs them)")
endif()

execute_process(COMMAND "${SIGROK}" -I vcd -i "${UART_VCD}"
                        -P "uart:baudrate=${BAUD}:rx=TXD:format=ascii" -A uart=rx-data
                WORKING_DIRECTORY "${dir}" RESULT_VARIABLE result OUTPUT_VARIABLE decoded
                ERROR_VARIABLE errors)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "sigrok-cli failed (${result}): ${errors}")
endif()
# One line per byte: "uart-1: h".
string(REGEX MATCHALL "uart-1: [^\n]*" lines "${decoded}")
set(text "")
foreach(line ${lines})
    string(SUBSTRING "${line}" 8 -1 byte)
    string(APPEND text "${byte}")
endforeach()
message("sigrok-cli decoded: ${text}")
string(FIND "${text}" "${TEXT}" at)
if(at LESS 0)
    message(FATAL_ERROR "sigrok-cli decoded \"${text}\", which does not hold \"${TEXT}\"")
endif()

execute_process(COMMAND "${VCD2FST}" "${FST_VCD}" "${WORK_DIR}/check.fst"
                WORKING_DIRECTORY "${dir}" RESULT_VARIABLE result OUTPUT_VARIABLE converted
                ERROR_VARIABLE errors)
if(NOT result EQUAL 0 OR NOT EXISTS "${WORK_DIR}/check.fst" OR errors MATCHES "[Ee]rror")
    message(FATAL_ERROR "vcd2fst did not take ${FST_VCD} (${result}): ${errors}")
endif()
