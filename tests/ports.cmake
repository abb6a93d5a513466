brelvan_add_test(test_ports SOURCES test_ports.cpp LIBS brelvan_boardfixture)
