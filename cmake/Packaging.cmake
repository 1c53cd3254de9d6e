# The portable zip of a Windows build, Lumagrid-<version>-win64.zip or
# -win32.zip (scripts/package): the program, its advanced copy, a settings
# file with the shared thresholds, a README for Windows users, and the
# substitute library in simulator/ -- never beside the program, where it could
# pass for the maker's library.
#
# Only the component Lumagrid is packed; the test programs install nothing.

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(LUMAGRID_PACKAGE_ARCH win64)
  set(LUMAGRID_PACKAGE_BITS 64)
else()
  set(LUMAGRID_PACKAGE_ARCH win32)
  set(LUMAGRID_PACKAGE_BITS 32)
endif()
set(LUMAGRID_PACKAGE_NAME Lumagrid-${PROJECT_VERSION}-${LUMAGRID_PACKAGE_ARCH})

set(LUMAGRID_PACKAGING_DIR ${CMAKE_BINARY_DIR}/packaging)
# Texts for Notepad: CRLF line ends, the version filled in.
configure_file(${CMAKE_SOURCE_DIR}/packaging/README.txt ${LUMAGRID_PACKAGING_DIR}/README.txt @ONLY NEWLINE_STYLE CRLF)
configure_file(${CMAKE_SOURCE_DIR}/packaging/Lumagrid.ini ${LUMAGRID_PACKAGING_DIR}/Lumagrid.ini @ONLY NEWLINE_STYLE CRLF)
configure_file(${CMAKE_SOURCE_DIR}/sim/README.md ${LUMAGRID_PACKAGING_DIR}/simulator/README.md @ONLY NEWLINE_STYLE CRLF)

install(TARGETS Lumagrid LumagridCheck RUNTIME DESTINATION . COMPONENT Lumagrid)
# The advanced copy is made from the installed program, so that it is stripped
# like the program.
install(CODE "
  set(dir \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}\")
  configure_file(\"\${dir}/Lumagrid.exe\" \"\${dir}/Lumagrid${LUMAGRID_ADVANCED_LETTER}.exe\" COPYONLY)
" COMPONENT Lumagrid)
install(FILES ${LUMAGRID_PACKAGING_DIR}/Lumagrid.ini ${LUMAGRID_PACKAGING_DIR}/README.txt
  DESTINATION . COMPONENT Lumagrid)
install(TARGETS QuorvaneLib
  RUNTIME DESTINATION simulator COMPONENT Lumagrid
  ARCHIVE DESTINATION lib COMPONENT Development EXCLUDE_FROM_ALL)
install(FILES ${LUMAGRID_PACKAGING_DIR}/simulator/README.md DESTINATION simulator COMPONENT Lumagrid)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME Lumagrid)
set(CPACK_PACKAGE_VENDOR Quorvane)
set(CPACK_PACKAGE_FILE_NAME ${LUMAGRID_PACKAGE_NAME})
# The files sit at the top of the zip: Explorer's "Extract All" makes the
# folder, and unpacking beside the maker's library needs no moving around.
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};Lumagrid;Lumagrid;/")
# Packing builds nothing: scripts/package builds first, and the tests pack
# trees that are built already while other tests run from them.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
include(CPack)
