# Every page headless over a sweep of widths and scales: the page fixture's
# sources beside every library.
add_executable(page_sweep ${src} ${CMAKE_CURRENT_SOURCE_DIR}/pages/page_harness_helpers.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/pages/sample_budget_helpers.cpp ${CMAKE_CURRENT_SOURCE_DIR}/app/app_harness_helpers.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/app/env_helpers.cpp ${CMAKE_CURRENT_SOURCE_DIR}/ui/ui_harness_helpers.cpp)
target_include_directories(page_sweep PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(page_sweep PRIVATE ${QM_AREA_TARGETS} qm_paths)
set_target_properties(page_sweep PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/tools)
