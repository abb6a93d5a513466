brelvan_add_test(test_wires SOURCES test_wires.cpp LIBS brelvan_editor)
