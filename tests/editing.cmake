brelvan_add_test(test_editing SOURCES test_editing.cpp LIBS brelvan_editor)
