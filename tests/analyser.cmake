# The analyser dock over recorded traces; included from tests/CMakeLists.txt.
brelvan_add_test(test_analyser SOURCES test_analyser.cpp LIBS brelvan_editor brelvan_windowfixture)
target_compile_definitions(test_analyser PRIVATE BRELVAN_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
brelvan_add_test(test_analysersetup SOURCES test_analysersetup.cpp LIBS brelvan_editor brelvan_windowfixture)
target_compile_definitions(test_analysersetup PRIVATE BRELVAN_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
# Its decoders (LCD bus, serial-in bytes, shift-register frames), the trigger on the edge and the
# settings dialogs.
brelvan_add_test(test_analyserdecoders SOURCES test_analyserdecoders.cpp
                 LIBS brelvan_editor brelvan_windowfixture)
target_compile_definitions(test_analyserdecoders PRIVATE BRELVAN_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
