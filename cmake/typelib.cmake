# The type library resource. A generator built from the library's objects
# writes the IDL from the member tables; widl compiles it (with stand-ins
# for the runtime libraries it imports); the bytes are embedded into the
# library. Without widl the IDL text itself is embedded instead.

option(VOLUMAR_TYPELIB_WIDL "Compile the type library with widl when it is installed" ON)
find_program(VOLUMAR_WIDL NAMES widl widl-stable)
find_path(VOLUMAR_WIDL_INCLUDE ocidl.idl PATHS /usr/include/wine/wine/windows /usr/include/wine/windows)
find_path(VOLUMAR_STDOLE2_DIR stdole2.tlb
          PATHS /usr/lib/x86_64-linux-gnu/wine/x86_64-windows /usr/lib/i386-linux-gnu/wine/i386-windows
                /usr/lib/wine/x86_64-windows /usr/lib/wine/i386-windows
          NO_DEFAULT_PATH)

set(TYPELIB_DIR ${CMAKE_BINARY_DIR}/typelib)
file(MAKE_DIRECTORY ${TYPELIB_DIR})

add_executable(volumar_typelib_generator ${CMAKE_CURRENT_LIST_DIR}/typelib_generator.cpp
                                         $<TARGET_OBJECTS:volumar10_objects>)
target_link_libraries(volumar_typelib_generator PRIVATE volumar_platform)

set(TYPELIB_IDL ${TYPELIB_DIR}/volumar10.idl)
add_custom_command(
  OUTPUT ${TYPELIB_IDL} ${TYPELIB_DIR}/runtime_types.idl ${TYPELIB_DIR}/vba_runtime.idl ${TYPELIB_DIR}/vbrun_runtime.idl
  COMMAND volumar_typelib_generator idl ${TYPELIB_DIR}
  DEPENDS volumar_typelib_generator
  COMMENT "Writing the type library IDL from the member tables")

set(TYPELIB_DATA ${TYPELIB_DIR}/type_library_data.cpp)
if(VOLUMAR_TYPELIB_WIDL AND VOLUMAR_WIDL AND VOLUMAR_WIDL_INCLUDE AND VOLUMAR_STDOLE2_DIR)
  message(STATUS "Type library: compiled by ${VOLUMAR_WIDL}")
  set(widl_command ${VOLUMAR_WIDL} --win32 -I ${VOLUMAR_WIDL_INCLUDE} -I ${TYPELIB_DIR}
                   -L ${VOLUMAR_STDOLE2_DIR} -L ${TYPELIB_DIR} -t)
  add_custom_command(
    OUTPUT ${TYPELIB_DIR}/vba_runtime.tlb ${TYPELIB_DIR}/vbrun_runtime.tlb ${TYPELIB_DIR}/volumar10.tlb
    COMMAND ${widl_command} -o vba_runtime.tlb vba_runtime.idl
    COMMAND ${widl_command} -o vbrun_runtime.tlb vbrun_runtime.idl
    COMMAND ${widl_command} -o volumar10.tlb volumar10.idl
    WORKING_DIRECTORY ${TYPELIB_DIR}
    DEPENDS ${TYPELIB_IDL}
    COMMENT "Compiling the type library")
  set(typelib_input ${TYPELIB_DIR}/volumar10.tlb)
  set(typelib_compiled 1)
else()
  message(STATUS "Type library: widl not found, embedding the IDL text")
  set(typelib_input ${TYPELIB_IDL})
  set(typelib_compiled 0)
endif()

add_custom_command(
  OUTPUT ${TYPELIB_DATA}
  COMMAND volumar_typelib_generator embed ${typelib_input} ${TYPELIB_DATA} ${typelib_compiled}
  DEPENDS ${typelib_input} volumar_typelib_generator
  COMMENT "Embedding the type library")

target_sources(volumar10_static PRIVATE ${TYPELIB_DATA})
target_sources(volumar10 PRIVATE ${TYPELIB_DATA})

# One target makes the file, so the two libraries never race to write it.
add_custom_target(volumar_typelib DEPENDS ${TYPELIB_DATA})
add_dependencies(volumar10_static volumar_typelib)
add_dependencies(volumar10 volumar_typelib)
