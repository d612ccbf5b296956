# Every page headless over a sweep of widths and scales: the page fixture's
# sources beside every library.
add_executable(page_sweep ${src} ${CMAKE_CURRENT_SOURCE_DIR}/pages/page_harness_helpers.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/pages/sample_budget_helpers.cpp ${CMAKE_CURRENT_SOURCE_DIR}/app/app_harness_helpers.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/app/env_helpers.cpp ${CMAKE_CURRENT_SOURCE_DIR}/ui/ui_harness_helpers.cpp)
target_include_directories(page_sweep PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(page_sweep PRIVATE ${QM_AREA_TARGETS} qm_stand_in_pages qm_paths)
set_target_properties(page_sweep PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/tools)

# The pages at every width from 320 to 1440 px in 40 px steps and scales 1,
# 1.5 and 2; the calendar's views apart, so that each area reads its own.
add_test(NAME page_sweep COMMAND page_sweep --views
  search,reports,import,import-review,help,help-contents,settings,account)
add_test(NAME page_sweep_calendar COMMAND page_sweep --views month,week,day)
set_tests_properties(page_sweep page_sweep_calendar PROPERTIES TIMEOUT 600)
