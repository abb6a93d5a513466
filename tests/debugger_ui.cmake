# The debugger's window parts: code view, breakpoints, stepping, variables, memory, reload.
brelvan_add_test(test_debugger_ui SOURCES test_debugger_ui.cpp LIBS brelvan_editor brelvan_windowfixture)
# The example firmware and its debug files are read where they stand.
target_compile_definitions(test_debugger_ui PRIVATE BRELVAN_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
