# The folders' include order: reads the source tree where it stands.
brelvan_add_test(test_structure SOURCES test_structure.cpp)
target_compile_definitions(test_structure PRIVATE BRELVAN_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
