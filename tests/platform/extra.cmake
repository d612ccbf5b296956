# Scripts that start their own Xvfb server and drive test programs in it.
qm_script_tests(xvfb ${CMAKE_CURRENT_SOURCE_DIR}/platform/xvfb 300)

# Scripts that start their own headless Wayland compositors (weston, and
# sway as nobody) and drive the demo program in them.
qm_script_tests(compositor ${CMAKE_CURRENT_SOURCE_DIR}/platform/compositor 300)
