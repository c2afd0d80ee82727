# One version for every program and package, taken from project(... VERSION):
# the header vantlo/version.h for --version, and a Windows version resource
# (VERSIONINFO) per program. scripts/package.sh reads the same number.
set(VANTLO_COPYRIGHT_YEARS 2026)

configure_file(${CMAKE_CURRENT_LIST_DIR}/version.h.in ${PROJECT_BINARY_DIR}/generated/vantlo/version.h @ONLY)
add_library(vantlo_version INTERFACE)
target_include_directories(vantlo_version INTERFACE ${PROJECT_BINARY_DIR}/generated)

# Gives a Windows program its version resource: file and product version,
# description, copyright. Does nothing elsewhere or when there is no such target
# (a program another branch adds is named here before it lands).
function(vantlo_version_resource target description)
  if(NOT WIN32 OR NOT TARGET ${target})
    return()
  endif()
  get_target_property(name ${target} OUTPUT_NAME)
  if(NOT name)
    set(name ${target})
  endif()
  set(VANTLO_RC_NAME ${name})
  set(VANTLO_RC_FILE ${name}.exe)
  set(VANTLO_RC_DESCRIPTION ${description})
  set(rc ${PROJECT_BINARY_DIR}/generated/${target}.version.rc)
  configure_file(${PROJECT_SOURCE_DIR}/res/version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()
