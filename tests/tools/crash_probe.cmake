# The crash probe fails on purpose and checks the program's own signal
# handlers, which the sanitizers would replace with theirs: it compiles the
# crash-reporting sources itself, without the sanitizer options, even in the
# sanitizer tree.
file(GLOB crash_probe_core CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/core/*.cpp)
add_executable(crash_probe ${src} ${crash_probe_core}
  ${PROJECT_SOURCE_DIR}/src/codecs/crypto/sha2.cpp
  ${PROJECT_SOURCE_DIR}/src/ui/trail.cpp
  ${PROJECT_SOURCE_DIR}/src/app/crash_handlers.cpp
  ${PROJECT_SOURCE_DIR}/src/app/crash_report.cpp
  ${PROJECT_SOURCE_DIR}/src/app/paths.cpp
  ${PROJECT_SOURCE_DIR}/src/app/scrub.cpp
  ${PROJECT_SOURCE_DIR}/src/app/session.cpp
  ${PROJECT_SOURCE_DIR}/src/app/settings.cpp)
target_include_directories(crash_probe PRIVATE ${PROJECT_SOURCE_DIR}/src)
target_compile_options(crash_probe PRIVATE -Wall -Wextra $<$<BOOL:${QM_WERROR}>:-Werror>)
find_package(Threads REQUIRED)
target_link_libraries(crash_probe PRIVATE Threads::Threads)
set_target_properties(crash_probe PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/tools)
