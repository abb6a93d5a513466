brelvan_add_test(test_leds SOURCES test_leds.cpp LIBS brelvan_boardfixture)
