# The calendar pages headless for the oracle scripts: the page fixture's
# sources beside every library.
add_executable(calendar_tiles ${src} ${CMAKE_CURRENT_SOURCE_DIR}/pages/page_harness_helpers.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/app/app_harness_helpers.cpp ${CMAKE_CURRENT_SOURCE_DIR}/app/env_helpers.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/ui/ui_harness_helpers.cpp)
target_include_directories(calendar_tiles PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(calendar_tiles PRIVATE ${QM_AREA_TARGETS} qm_stand_in_pages qm_paths)
set_target_properties(calendar_tiles PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/tools)
