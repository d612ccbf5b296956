# The network tests drive a whole AppState (the shell's headless harness)
# against the functional test service.
target_sources(qm_net_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/app/app_harness_helpers.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/app/env_helpers.cpp)

# The program under Xvfb against the functional test service.
qm_script_tests(xvfb ${CMAKE_CURRENT_SOURCE_DIR}/net/xvfb 300)

