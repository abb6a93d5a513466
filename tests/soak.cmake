brelvan_add_test(test_soak SOURCES test_soak.cpp LIBS brelvan_editor)
