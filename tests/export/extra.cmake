# The export tests check that every XML part parses.
find_package(pugixml REQUIRED)
target_link_libraries(qm_export_tests PRIVATE pugixml::pugixml)

# The report export, the Reports page and the file dialog are driven through
# a whole AppState over a fake window, with shapes read back.
target_sources(qm_export_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/app/app_harness_helpers.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/app/env_helpers.cpp ${CMAKE_CURRENT_SOURCE_DIR}/app/page_draw_harness_helpers.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/ui/ui_harness_helpers.cpp)
