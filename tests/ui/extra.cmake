# The UI gallery driven under a private Xvfb server.
qm_script_tests(xvfb ${CMAKE_CURRENT_SOURCE_DIR}/ui/xvfb 300)

# A context over the fake window through hundreds of frames of dialogs, lists
# and menus; LeakSanitizer fails it on any leak.
add_test(NAME ui_lifecycle COMMAND ui_lifecycle 300)
