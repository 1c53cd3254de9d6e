# Helpers for the folders' CMakeLists.txt.

# lumagrid_core_part(<name> <sources...>): a portable object library.
function(lumagrid_core_part name)
  add_library(${name} OBJECT ${ARGN})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
  set_property(GLOBAL APPEND PROPERTY LUMAGRID_CORE_PARTS ${name})
endfunction()

# lumagrid_win_part(<name> <sources...>): a Win32 object library of the program.
function(lumagrid_win_part name)
  add_library(${name} OBJECT ${ARGN})
  target_link_libraries(${name} PUBLIC lumagrid_win_options)
  set_property(GLOBAL APPEND PROPERTY LUMAGRID_WIN_PARTS ${name})
endfunction()
