# The scenario runner as a command-line tool: options, parallel runs, reports, the time commands
# and the graded example; included from tests/CMakeLists.txt.
brelvan_add_test(test_scenariocli SOURCES test_scenariocli.cpp)
add_dependencies(test_scenariocli brelvan-scenario)
target_compile_definitions(test_scenariocli PRIVATE BRELVAN_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
                           SCENARIO_RUNNER="$<TARGET_FILE:brelvan-scenario>")
