brelvan_add_test(test_names SOURCES test_names.cpp LIBS brelvan_boardfixture)
