# The UI gallery driven under a private Xvfb server.
file(GLOB ui_xvfb_scripts CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/ui/xvfb/*.py)
foreach(script IN LISTS ui_xvfb_scripts)
  get_filename_component(name ${script} NAME_WE)
  if(NOT name MATCHES "^_")
    add_test(NAME xvfb_${name} COMMAND /usr/bin/python3 ${script} ${PROJECT_BINARY_DIR} ${PROJECT_SOURCE_DIR})
    set_tests_properties(xvfb_${name} PROPERTIES TIMEOUT 300)
  endif()
endforeach()

# A context over the fake window through hundreds of frames of dialogs, lists
# and menus; LeakSanitizer fails it on any leak.
add_test(NAME ui_lifecycle COMMAND ui_lifecycle 300)
