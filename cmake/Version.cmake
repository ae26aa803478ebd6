# The version header (SETUP_VERSION_TEXT, SETUP_VERSION_NUMBERS), refreshed at
# every build by cmake/WriteVersion.cmake; targets get it with setup_version.
set(SETUP_VERSION_DIR ${CMAKE_BINARY_DIR}/generated)
set(SETUP_VERSION_HEADER ${SETUP_VERSION_DIR}/setup_version.h)
set(_setup_write_version ${CMAKE_COMMAND} -DSOURCE_DIR=${PROJECT_SOURCE_DIR} -DOUTPUT=${SETUP_VERSION_HEADER}
  -DFALLBACK=${PROJECT_VERSION}
  -P ${PROJECT_SOURCE_DIR}/cmake/WriteVersion.cmake)
execute_process(COMMAND ${_setup_write_version})
add_custom_target(setup_version_header COMMAND ${_setup_write_version} BYPRODUCTS ${SETUP_VERSION_HEADER} VERBATIM)
add_library(setup_version INTERFACE)
target_include_directories(setup_version INTERFACE ${SETUP_VERSION_DIR})
add_dependencies(setup_version setup_version_header)

# windres keeps no record of the headers a resource script includes.
function(setup_version_resource target rc)
  set_source_files_properties(${rc} TARGET_DIRECTORY ${target} PROPERTIES OBJECT_DEPENDS ${SETUP_VERSION_HEADER})
endfunction()
