# The help page's frame tests run a whole AppState over the fake window and
# read shapes back with the toolkit's harness.
target_sources(qm_docs_tests PRIVATE
  ${CMAKE_CURRENT_SOURCE_DIR}/ui/ui_harness_helpers.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/app/app_harness_helpers.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/app/page_draw_harness_helpers.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/app/env_helpers.cpp)

# The program's Help page under a private Xvfb server.
qm_script_tests(xvfb ${CMAKE_CURRENT_SOURCE_DIR}/docs/xvfb 300)
