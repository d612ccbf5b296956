# The widget kit's tests drive the toolkit's headless harness.
target_sources(qm_app_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/ui/ui_harness_helpers.cpp)

# The kit's gallery and the program itself under a private Xvfb server.
file(GLOB app_xvfb_scripts CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/app/xvfb/*.py)
foreach(script IN LISTS app_xvfb_scripts)
  get_filename_component(name ${script} NAME_WE)
  if(NOT name MATCHES "^_")
    add_test(NAME xvfb_${name} COMMAND /usr/bin/python3 ${script} ${PROJECT_BINARY_DIR} ${PROJECT_SOURCE_DIR})
    set_tests_properties(xvfb_${name} PROPERTIES TIMEOUT 300)
  endif()
endforeach()

# The state and loop over a fake window, many times in one process, with the
# stand-in worker busy; LeakSanitizer fails it on any leak.
add_test(NAME app_lifecycle COMMAND app_lifecycle 20)
