brelvan_add_test(test_board SOURCES test_board.cpp LIBS brelvan_boardfixture)
