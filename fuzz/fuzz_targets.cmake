# The fuzz targets and what each links, shared by the libFuzzer build
# (fuzz/CMakeLists.txt) and the corpus replay among the tests.
set(VOLUMAR_FUZZ_TARGETS fuzz_drive_selection fuzz_hex_rows fuzz_reg_import fuzz_cli_parsing)

# An executable running fuzz target `name`; further arguments are sources
# added to it (the replay's driver).
function(volumar_add_fuzz_executable executable name)
  add_executable(${executable} ${CMAKE_SOURCE_DIR}/fuzz/${name}.cpp ${ARGN})
  target_include_directories(${executable} PRIVATE ${CMAKE_SOURCE_DIR})
  target_link_libraries(${executable} PRIVATE volumar10_static volumar_imaging)
  if(name STREQUAL "fuzz_cli_parsing")
    target_link_libraries(${executable} PRIVATE volumar_parsing)
  endif()
endfunction()
