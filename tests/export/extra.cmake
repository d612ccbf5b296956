# The export tests check that every XML part parses.
find_package(pugixml REQUIRED)
target_link_libraries(qm_export_tests PRIVATE pugixml::pugixml)
