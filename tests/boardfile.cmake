# Board files and the File menu's commands; included from tests/CMakeLists.txt.
brelvan_add_test(test_boardfile SOURCES test_boardfile.cpp LIBS brelvan_editor brelvan_windowfixture)
# The example boards and the test boards are read where they stand.
target_compile_definitions(test_boardfile PRIVATE BRELVAN_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
