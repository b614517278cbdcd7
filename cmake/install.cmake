# Installation: libvolumar10.so, its headers in one include/volumar10 folder,
# a CMake package (Volumar10::volumar10) and volumar10.pc. All of it is the
# component volumar10, which installs without building the program.

set(VOLUMAR_INSTALL_HEADERS ${CMAKE_INSTALL_INCLUDEDIR}/volumar10)
set(VOLUMAR_INSTALL_PACKAGE ${CMAKE_INSTALL_LIBDIR}/cmake/Volumar10)

target_compile_features(volumar10 PUBLIC cxx_std_20)
# Clients write <volumar10/...>; the second folder is what the library's own
# headers need for their "platform/..." includes.
target_include_directories(
  volumar10 INTERFACE $<BUILD_INTERFACE:${CMAKE_SOURCE_DIR}> $<BUILD_INTERFACE:${VOLUMAR_GENERATED_INCLUDE}>
                      $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}> $<INSTALL_INTERFACE:${VOLUMAR_INSTALL_HEADERS}>)

install(TARGETS volumar10 EXPORT Volumar10Targets LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT volumar10)
foreach(layer format platform frame cipher rawio volume drw assoc server)
  install(DIRECTORY ${CMAKE_SOURCE_DIR}/${layer}/ DESTINATION ${VOLUMAR_INSTALL_HEADERS}/${layer}
          COMPONENT volumar10 FILES_MATCHING PATTERN "*.h" PATTERN "*.inc")
endforeach()
install(FILES ${VOLUMAR_GENERATED_INCLUDE}/volumar10/version.h DESTINATION ${VOLUMAR_INSTALL_HEADERS} COMPONENT volumar10)

install(EXPORT Volumar10Targets NAMESPACE Volumar10:: DESTINATION ${VOLUMAR_INSTALL_PACKAGE} COMPONENT volumar10)
include(CMakePackageConfigHelpers)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/Volumar10Config.cmake.in
                              ${CMAKE_BINARY_DIR}/Volumar10Config.cmake INSTALL_DESTINATION ${VOLUMAR_INSTALL_PACKAGE})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/Volumar10ConfigVersion.cmake COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/Volumar10Config.cmake ${CMAKE_BINARY_DIR}/Volumar10ConfigVersion.cmake
        DESTINATION ${VOLUMAR_INSTALL_PACKAGE} COMPONENT volumar10)

# The .pc file finds the prefix from its own place, so that
# `cmake --install --prefix` anywhere gives a working file.
foreach(dir LIBDIR INCLUDEDIR)
  if(IS_ABSOLUTE "${CMAKE_INSTALL_${dir}}")
    set(VOLUMAR_PC_${dir} "${CMAKE_INSTALL_${dir}}")
  else()
    set(VOLUMAR_PC_${dir} "\${prefix}/${CMAKE_INSTALL_${dir}}")
  endif()
endforeach()
file(RELATIVE_PATH VOLUMAR_PC_UP "/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/")
string(REGEX REPLACE "/$" "" VOLUMAR_PC_UP "${VOLUMAR_PC_UP}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/volumar10.pc.in ${CMAKE_BINARY_DIR}/volumar10.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/volumar10.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT volumar10)
