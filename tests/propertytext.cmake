# Property text forms and path names; included from tests/CMakeLists.txt.
brelvan_add_test(test_propertytext SOURCES test_propertytext.cpp LIBS brelvan_properties)
