# --no-undefined proves that a deliverable carries everything it calls. gcc links its sanitizer
# runtimes into a shared library as shared libraries of their own, so the check holds there; clang
# links the sanitizer runtime and libFuzzer only into the executable, which then provides their
# entry points to the libraries it loads, so a clang build with either leaves those to the program.
if(CMAKE_CXX_COMPILER_ID MATCHES "Clang" AND (KIT_SANITIZE OR KIT_FUZZ))
  set(KIT_NO_UNDEFINED "")
else()
  set(KIT_NO_UNDEFINED -Wl,--no-undefined)
endif()

# kit_shared_library(<target> OUTPUT_NAME <name> OUTPUT_DIR <dir> EXPORTS <map file>)
# A deliverable: hidden visibility and an anonymous version script that keeps the
# dynamic symbol table to the library's own entry points.
function(kit_shared_library target)
  cmake_parse_arguments(ARG "" "OUTPUT_NAME;OUTPUT_DIR;EXPORTS" "" ${ARGN})
  # The modules that make up the deliverable add its sources.
  add_library(${target} SHARED)
  set_target_properties(${target} PROPERTIES
    OUTPUT_NAME ${ARG_OUTPUT_NAME}
    LIBRARY_OUTPUT_DIRECTORY ${ARG_OUTPUT_DIR})
  target_link_options(${target} PRIVATE -Wl,--version-script=${ARG_EXPORTS} ${KIT_NO_UNDEFINED})
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${ARG_EXPORTS})
endfunction()

# kit_link_os_layer(<deliverable> <os library>)
# The OS layer is a static library that the common runtime needs but does not name (each
# deliverable picks its own build). Taking it whole, ahead of the other libraries, keeps the
# link independent of the order in which modules list the runtime.
function(kit_link_os_layer target os)
  target_link_options(${target} PRIVATE
    "LINKER:--whole-archive" "$<TARGET_FILE:${os}>" "LINKER:--no-whole-archive")
  add_dependencies(${target} ${os})
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS "$<TARGET_FILE:${os}>")
endfunction()
