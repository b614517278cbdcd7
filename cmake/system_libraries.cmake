# The system's C libraries the project uses (SQLite, ncurses, blkid), each
# as an interface target volumar_<module>. A target that sets the property
# VOLUMAR_STATIC_SYSTEM_LIBRARIES links their archives; every other target
# links the shared libraries. A command that runs for a few milliseconds
# spends a third of them resolving the shared libraries' symbols at start.
function(volumar_system_library module)
  string(TOUPPER ${module} prefix)
  pkg_check_modules(${prefix} REQUIRED IMPORTED_TARGET GLOBAL ${module})
  # The module's own libraries from their archives, what they need from
  # the system (libm, libz, libdl) shared, as its static link line says.
  set(static_libraries)
  foreach(library IN LISTS ${prefix}_STATIC_LIBRARIES)
    if(library IN_LIST ${prefix}_LIBRARIES)
      find_library(VOLUMAR_ARCHIVE_${library} lib${library}.a HINTS ${${prefix}_LIBRARY_DIRS})
      if(NOT VOLUMAR_ARCHIVE_${library})
        set(static_libraries PkgConfig::${prefix})  # no archive: shared after all
        break()
      endif()
      list(APPEND static_libraries ${VOLUMAR_ARCHIVE_${library}})
    else()
      list(APPEND static_libraries ${library})
    endif()
  endforeach()
  add_library(volumar_${module} INTERFACE)
  set(wants_static "$<BOOL:$<TARGET_PROPERTY:VOLUMAR_STATIC_SYSTEM_LIBRARIES>>")
  target_link_libraries(volumar_${module} INTERFACE "$<IF:${wants_static},${static_libraries},PkgConfig::${prefix}>")
endfunction()
