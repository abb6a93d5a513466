# Firmware on the board: the bridge, the runner and the window's firmware parts; included from
# tests/CMakeLists.txt.
brelvan_add_test(test_firmware SOURCES test_firmware.cpp LIBS brelvan_editor brelvan_windowfixture)
# The example boards and firmware are read where they stand.
target_compile_definitions(test_firmware PRIVATE BRELVAN_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
