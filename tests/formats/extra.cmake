# The writers' tests check that every XML part parses.
find_package(pugixml REQUIRED)
target_link_libraries(qm_formats_tests PRIVATE pugixml::pugixml)

# The PDF tests draw with small fonts built in memory.
target_sources(qm_formats_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/codecs/font/font_builder_helpers.cpp)
