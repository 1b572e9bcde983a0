# kit_shared_library(<target> OUTPUT_NAME <name> OUTPUT_DIR <dir> EXPORTS <map file>)
# A deliverable: hidden visibility and an anonymous version script that keeps the
# dynamic symbol table to the library's own entry points.
function(kit_shared_library target)
  cmake_parse_arguments(ARG "" "OUTPUT_NAME;OUTPUT_DIR;EXPORTS" "" ${ARGN})
  # A deliverable whose parts are not built yet still links: it gets one empty unit.
  set(empty ${CMAKE_BINARY_DIR}/generated/${target}_empty.cpp)
  if(NOT EXISTS ${empty})
    file(WRITE ${empty} "")
  endif()
  add_library(${target} SHARED ${empty})
  set_target_properties(${target} PROPERTIES
    OUTPUT_NAME ${ARG_OUTPUT_NAME}
    LIBRARY_OUTPUT_DIRECTORY ${ARG_OUTPUT_DIR})
  target_link_options(${target} PRIVATE
    -Wl,--version-script=${ARG_EXPORTS} -Wl,--no-undefined)
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${ARG_EXPORTS})
endfunction()
