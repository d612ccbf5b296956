# The program's Help page under a private Xvfb server.
qm_script_tests(xvfb ${CMAKE_CURRENT_SOURCE_DIR}/docs/xvfb 300)
