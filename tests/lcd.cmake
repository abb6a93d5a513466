# The LCD controllers without widgets, and the modules on a board.
brelvan_add_test(test_lcd_controllers SOURCES test_lcd_controllers.cpp LIBS brelvan_lcd_controllers)
