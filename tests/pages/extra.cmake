# The page fixture drives the whole shell headless: the app harness over the
# toolkit harness's recorder and shapes.
target_sources(qm_pages_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/app/app_harness_helpers.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/app/env_helpers.cpp ${CMAKE_CURRENT_SOURCE_DIR}/ui/ui_harness_helpers.cpp)

# The program itself under a private Xvfb server, with today pinned.
qm_script_tests(xvfb ${CMAKE_CURRENT_SOURCE_DIR}/pages/xvfb 300)
