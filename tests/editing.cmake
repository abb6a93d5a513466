brelvan_add_test(test_editing SOURCES test_editing.cpp LIBS brelvan_editor brelvan_windowfixture)
# The board of every class is read where it stands.
target_compile_definitions(test_editing PRIVATE BRELVAN_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
