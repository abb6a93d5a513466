# The program as an installed desktop program: recovery copies, pictures and printing, the Help menu.

# A window that a test kills to leave a recovery copy behind.
add_executable(recovery-child recovery_child.cpp)
target_link_libraries(recovery-child PRIVATE brelvan_editor)

brelvan_add_test(test_recovery SOURCES test_recovery.cpp
                 LIBS brelvan_editor brelvan_windowfixture)
target_compile_definitions(test_recovery PRIVATE
    RECOVERY_CHILD="$<TARGET_FILE:recovery-child>"
    BOARDS_DIR="${CMAKE_SOURCE_DIR}/examples")
add_dependencies(test_recovery recovery-child)

brelvan_add_test(test_export SOURCES test_export.cpp LIBS brelvan_editor brelvan_windowfixture)
brelvan_add_test(test_help SOURCES test_help.cpp LIBS brelvan_editor brelvan_windowfixture)
target_compile_definitions(test_help PRIVATE BRELVAN_VERSION="${PROJECT_VERSION}")
