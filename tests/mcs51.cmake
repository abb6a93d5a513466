# The 8051 core: instruction table and peripherals, and the differential test against s51.
add_library(brelvan_s51runner STATIC support/s51runner.h support/s51runner.cpp)
target_link_libraries(brelvan_s51runner PUBLIC Qt6::Core)
brelvan_add_test(test_mcs51 SOURCES test_mcs51.cpp LIBS brelvan_mcs51)
brelvan_add_test(test_mcs51_diff SOURCES test_mcs51_diff.cpp LIBS brelvan_mcs51 brelvan_s51runner)
target_compile_definitions(test_mcs51_diff PRIVATE MCS51_C_DIR="${CMAKE_CURRENT_SOURCE_DIR}/mcs51")
