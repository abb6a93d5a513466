# The LCD controllers without widgets, and the modules on a board.
brelvan_add_test(test_lcd_controllers SOURCES test_lcd_controllers.cpp LIBS brelvan_lcd_controllers)
brelvan_add_test(test_lcd SOURCES test_lcd.cpp LIBS brelvan_lcd)
