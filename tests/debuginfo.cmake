# The debugger: debug-file reader, values, breakpoints, stepping, call stack, and a variable edited
# on a running board; included from tests/CMakeLists.txt. The fixtures in tests/debug are read
# where they stand.
brelvan_add_test(test_debuginfo SOURCES test_debuginfo.cpp LIBS brelvan_editor brelvan_windowfixture)
target_compile_definitions(test_debuginfo PRIVATE BRELVAN_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
