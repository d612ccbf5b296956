# The widget kit's tests drive the toolkit's headless harness.
target_sources(qm_app_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/ui/ui_harness_helpers.cpp)

# The kit's gallery and the program itself under a private Xvfb server.
qm_script_tests(xvfb ${CMAKE_CURRENT_SOURCE_DIR}/app/xvfb 300)

# The state and loop over a fake window, many times in one process, with the
# stand-in worker busy; LeakSanitizer fails it on any leak.
add_test(NAME app_lifecycle COMMAND app_lifecycle 20)

# Three starts on the 16x heavy budget, each reading and saving it: slow on a loaded machine.
set_tests_properties(xvfb_shell_signals PROPERTIES TIMEOUT 900)
