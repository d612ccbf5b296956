# The program with the updater's test key trusted in place of the release key.
include(${PROJECT_SOURCE_DIR}/tests/net/update_test_key.cmake)
add_executable(${name} ${src})
target_link_libraries(${name} PRIVATE ${QM_AREA_TARGETS} qm_paths)
target_compile_definitions(${name} PRIVATE QM_TEST_UPDATE_KEY="${QM_TEST_UPDATE_PUBLIC_KEY}")
set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/tools)
