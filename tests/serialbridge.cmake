# The firmware's serial port on the computer: the pseudo-terminal, the TCP port and the terminal
# dock; included from tests/CMakeLists.txt.
brelvan_add_test(test_serialbridge SOURCES test_serialbridge.cpp LIBS brelvan_editor brelvan_windowfixture Qt6::Network)
# The example firmware is read where it stands.
target_compile_definitions(test_serialbridge PRIVATE BRELVAN_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
