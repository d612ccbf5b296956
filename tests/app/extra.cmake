# The widget kit's tests drive the toolkit's headless harness.
target_sources(qm_app_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/ui/ui_harness_helpers.cpp)
