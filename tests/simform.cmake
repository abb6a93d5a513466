brelvan_add_test(test_simform SOURCES test_simform.cpp LIBS brelvan_board)
