# Install layout of the Windows build: the program and the library side by side, the import
# library and the header for programs that link the library.
#
#   bin/morfex.exe  bin/glyphshift.dll  lib/libglyphshift.dll.a  include/glyphshift/glyphshift.h
include(GNUInstallDirs)
install(TARGETS morfex RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS glyphshift
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES ${PROJECT_SOURCE_DIR}/include/glyphshift/glyphshift.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/glyphshift)
