# `cmake --install` lays the kit out as the build tree does, under the prefix:
#   include/                 the public headers
#   lib/libTorvane_api.so    the kit, beside the preprocessing library it links
#   lib/Drivers/*.so         the plug-ins the kit loads at run time
#   lib/Config/*.json        the product profiles
#   lib/pkgconfig/torvane.pc and lib/cmake/Torvane/ for applications that build against it
# The kit finds Drivers/ and Config/ beside itself, so the layout is fixed at lib/.
include(CMakePackageConfigHelpers)

set(KIT_INSTALL_LIB lib)

install(FILES
  ${PROJECT_SOURCE_DIR}/include/Torvane_api.h
  ${PROJECT_SOURCE_DIR}/include/QlTypes.h
  ${PROJECT_SOURCE_DIR}/include/QlEnums.h
  DESTINATION include)

# The installed kit finds libKPImgPreProcess beside itself.
set_target_properties(Torvane_api PROPERTIES INSTALL_RPATH "$ORIGIN")
install(TARGETS Torvane_api KPImgPreProcess LIBRARY DESTINATION ${KIT_INSTALL_LIB})
install(TARGETS halden_tof rc1720 LIBRARY DESTINATION ${KIT_INSTALL_LIB}/Drivers)

file(GLOB kit_profiles CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/Config/*.json)
install(FILES ${kit_profiles} DESTINATION ${KIT_INSTALL_LIB}/Config)

# Relocatable: the prefix is found from the file's own place.
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/generated/torvane.pc @ONLY CONTENT [=[
prefix=${pcfiledir}/../..
includedir=${prefix}/include
libdir=${prefix}/lib

Name: torvane
Description: Host kit for network time-of-flight depth cameras
Version: @PROJECT_VERSION@
Cflags: -I${includedir}
Libs: -L${libdir} -Wl,-rpath,${libdir} -lTorvane_api
]=])
install(FILES ${CMAKE_BINARY_DIR}/generated/torvane.pc DESTINATION ${KIT_INSTALL_LIB}/pkgconfig)

# The CMake package: find_package(Torvane) gives the imported target Torvane::api.
file(WRITE ${CMAKE_BINARY_DIR}/generated/TorvaneConfig.cmake [=[
# The installed kit as the imported target Torvane::api.
#   find_package(Torvane REQUIRED)
#   target_link_libraries(app PRIVATE Torvane::api)
get_filename_component(_torvane_prefix "${CMAKE_CURRENT_LIST_DIR}/../../.." ABSOLUTE)
if(NOT TARGET Torvane::api)
  add_library(Torvane::api SHARED IMPORTED)
  set_target_properties(Torvane::api PROPERTIES
    IMPORTED_LOCATION "${_torvane_prefix}/lib/libTorvane_api.so"
    IMPORTED_SONAME "libTorvane_api.so"
    INTERFACE_INCLUDE_DIRECTORIES "${_torvane_prefix}/include")
endif()
unset(_torvane_prefix)
]=])
write_basic_package_version_file(${CMAKE_BINARY_DIR}/generated/TorvaneConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES
  ${CMAKE_BINARY_DIR}/generated/TorvaneConfig.cmake
  ${CMAKE_BINARY_DIR}/generated/TorvaneConfigVersion.cmake
  DESTINATION ${KIT_INSTALL_LIB}/cmake/Torvane)
