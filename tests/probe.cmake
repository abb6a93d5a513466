brelvan_add_test(test_probe SOURCES test_probe.cpp LIBS brelvan_boardfixture)
