# The page fixtures drive the whole shell headless: the app harness over the
# toolkit harness's recorder and shapes; the pages that face the web service
# run against the functional test service through the network harness.
target_sources(qm_pages_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/app/app_harness_helpers.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/app/env_helpers.cpp ${CMAKE_CURRENT_SOURCE_DIR}/app/page_draw_harness_helpers.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/ui/ui_harness_helpers.cpp ${CMAKE_CURRENT_SOURCE_DIR}/net/net_harness_helpers.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/net/service_helpers.cpp ${CMAKE_CURRENT_SOURCE_DIR}/net/sync_helpers.cpp)
target_link_libraries(qm_pages_tests PRIVATE qm_stand_in_pages)

# The program itself under a private Xvfb server, with today pinned.
qm_script_tests(xvfb ${CMAKE_CURRENT_SOURCE_DIR}/pages/xvfb 300)

# The updater's tests trust a key of their own, which the test service signs with.
include(${CMAKE_CURRENT_SOURCE_DIR}/net/update_test_key.cmake)
target_compile_definitions(qm_pages_tests PRIVATE QM_TEST_UPDATE_KEY="${QM_TEST_UPDATE_PUBLIC_KEY}"
  QM_TEST_UPDATE_KEY_FILE="${QM_TEST_UPDATE_KEY_FILE}")
