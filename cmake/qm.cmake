# Build settings shared by every target of the project.
add_library(qm_options INTERFACE)
target_compile_options(qm_options INTERFACE -Wall -Wextra)
if(QM_WERROR)
  target_compile_options(qm_options INTERFACE -Werror)
endif()
if(QM_SANITIZE)
  set(QM_SAN_FLAGS -fsanitize=address,undefined,float-cast-overflow -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_compile_options(qm_options INTERFACE ${QM_SAN_FLAGS})
  target_link_options(qm_options INTERFACE ${QM_SAN_FLAGS})
endif()
if(QM_FUZZ)
  target_compile_options(qm_options INTERFACE -fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  target_link_options(qm_options INTERFACE -fsanitize=address,undefined)
endif()
# Where the sources and the build lie: only tests, tools, benchmarks and the two
# files that embed assets need them. Kept off qm_options so that the product's
# objects do not depend on the clone's folder and a fresh clone hits the
# compiler cache.
add_library(qm_paths INTERFACE)
target_compile_definitions(qm_paths INTERFACE
  QM_SOURCE_DIR="${PROJECT_SOURCE_DIR}" QM_BINARY_DIR="${PROJECT_BINARY_DIR}")

# qm_area(<name> [libraries...]): every .cpp below src/<name>/ becomes the
# library qm_<name>; headers are included as "<name>/<header>.h".
function(qm_area name)
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.c)
  if(srcs)
    add_library(qm_${name} STATIC ${srcs})
    target_include_directories(qm_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(qm_${name} PUBLIC qm_options ${ARGN})
  else()
    add_library(qm_${name} INTERFACE)
    target_include_directories(qm_${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(qm_${name} INTERFACE qm_options ${ARGN})
  endif()
endfunction()
