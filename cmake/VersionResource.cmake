# tarnvex_add_version_resource(TARGET DESCRIPTION): the Windows version information of an
# executable (product, file description, version from the project), as a resource linked into it.
function(tarnvex_add_version_resource target description)
  set(TARGET_NAME ${target})
  set(TARGET_FILE ${target}.exe)
  set(TARGET_DESCRIPTION ${description})
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}-version.rc)
  configure_file(${PROJECT_SOURCE_DIR}/resources/version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()
