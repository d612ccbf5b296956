# The writers' XML is checked by an independent parser.
find_package(pugixml REQUIRED)
target_link_libraries(fuzz_export_writers PRIVATE pugixml::pugixml)
