# Picture registry test; included from tests/CMakeLists.txt.
add_executable(test_pictures test_pictures.cpp)
target_link_libraries(test_pictures PRIVATE brelvan_resources Qt6::Test)
add_test(NAME pictures COMMAND test_pictures)
set_tests_properties(pictures PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
