# Install layout (GNU directories), the files that make Glyphshift a well-kept Linux tool and
# library, the Debian packages and the tests of all of it. Included from the top-level
# CMakeLists.txt once the targets exist. Each file belongs to one install component, which is
# one Debian package (cmake/GlyphshiftPackage.cmake):
#
#   library      <libdir>/libglyphshift.so.1 and the versioned file it points at
#   development  include/glyphshift/glyphshift.h, <libdir>/libglyphshift.so,
#                <libdir>/pkgconfig/glyphshift.pc, <libdir>/cmake/Glyphshift/ (find_package)
#   program      bin/morfex, share/man/man1/morfex.1.gz, bash and zsh completion
#   gui          <libdir>/glyphshift/morfex_qt.so (found relative to the program),
#                share/applications/morfex.desktop, the icon
#   each         share/doc/<its package>/{copyright,changelog.gz}

include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(glyphshift_module_dir ${CMAKE_INSTALL_LIBDIR}/glyphshift)
set(glyphshift_packaging_dir ${PROJECT_SOURCE_DIR}/packaging)
# The Debian package of each component.
set(glyphshift_gui_package glyphshift-gui)
set(glyphshift_component_packages library=libglyphshift1 development=libglyphshift-dev program=glyphshift)
if(TARGET morfex_qt)
  list(APPEND glyphshift_component_packages gui=${glyphshift_gui_package})
endif()

# The program looks for its module relative to its own file, so it finds it under any prefix,
# also after the tree was moved; beside the program is tried first, for the build tree. Without
# it, the program names the package that brings it.
file(RELATIVE_PATH glyphshift_module_from_bindir ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR}/glyphshift)
target_compile_definitions(glyphshift_app PRIVATE GLYPHSHIFT_GUI_MODULE_RELATIVE_DIR="${glyphshift_module_from_bindir}"
  GLYPHSHIFT_GUI_MODULE_PACKAGE="${glyphshift_gui_package}")

# --- Program and dialog module ---
install(TARGETS morfex RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT program)
if(TARGET morfex_qt)
  install(TARGETS morfex_qt LIBRARY DESTINATION ${glyphshift_module_dir} COMPONENT gui)
endif()

# --- Library: shared object with soname symlinks, header, CMake package, pkg-config ---
add_library(Glyphshift::glyphshift ALIAS glyphshift)
# The soname file belongs to the library, the unversioned link (for the linker only) to the
# development files.
install(TARGETS glyphshift EXPORT GlyphshiftTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT library NAMELINK_COMPONENT development
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES ${PROJECT_SOURCE_DIR}/include/glyphshift/glyphshift.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/glyphshift
  COMPONENT development)

set(glyphshift_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/Glyphshift)
install(EXPORT GlyphshiftTargets NAMESPACE Glyphshift:: DESTINATION ${glyphshift_cmake_dir} COMPONENT development)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/GlyphshiftConfig.cmake.in
  ${PROJECT_BINARY_DIR}/GlyphshiftConfig.cmake INSTALL_DESTINATION ${glyphshift_cmake_dir})
# The soname carries the major version only, so any 1.x satisfies a request for 1.y <= x.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/GlyphshiftConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/GlyphshiftConfig.cmake ${PROJECT_BINARY_DIR}/GlyphshiftConfigVersion.cmake
  DESTINATION ${glyphshift_cmake_dir} COMPONENT development)

# pkg-config wants absolute paths, and the prefix is only known when installing
# (`cmake --install --prefix`, CPack's staging), so the file is written then.
foreach(dir IN ITEMS LIBDIR INCLUDEDIR)
  if(IS_ABSOLUTE "${CMAKE_INSTALL_${dir}}")
    set(glyphshift_pc_${dir} "${CMAKE_INSTALL_${dir}}")
  else()
    set(glyphshift_pc_${dir} "\${prefix}/${CMAKE_INSTALL_${dir}}")
  endif()
endforeach()
set(prefix "@prefix@")  # kept as a placeholder for the install-time step
configure_file(${glyphshift_packaging_dir}/glyphshift.pc.in ${PROJECT_BINARY_DIR}/glyphshift.pc.in @ONLY)
unset(prefix)
install(CODE "
  set(prefix \"\${CMAKE_INSTALL_PREFIX}\")
  # One scratch file per destination: a test install and CPack may run at the same time.
  string(MD5 destination \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}\")
  set(pc \"${PROJECT_BINARY_DIR}/pkgconfig-\${destination}/glyphshift.pc\")
  configure_file(\"${PROJECT_BINARY_DIR}/glyphshift.pc.in\" \"\${pc}\" @ONLY)
  file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig\" TYPE FILE FILES \"\${pc}\")
" COMPONENT development)

# --- Manual page, changelog: compressed as Debian wants them (gzip -n: no name or time stamp) ---
find_program(GLYPHSHIFT_GZIP gzip)
if(NOT GLYPHSHIFT_GZIP)
  message(FATAL_ERROR "gzip was not found: install the Debian package gzip")
endif()
set(glyphshift_man_page ${PROJECT_BINARY_DIR}/doc/morfex.1.gz)
set(glyphshift_changelog ${PROJECT_BINARY_DIR}/doc/changelog.gz)
set(GLYPHSHIFT_MAN_MODULE_PATH ${CMAKE_INSTALL_FULL_LIBDIR}/glyphshift/morfex_qt.so)
configure_file(${PROJECT_SOURCE_DIR}/doc/morfex.1.in ${PROJECT_BINARY_DIR}/doc/morfex.1 @ONLY)
add_custom_command(OUTPUT ${glyphshift_man_page}
  COMMAND ${GLYPHSHIFT_GZIP} -9 -n -c ${PROJECT_BINARY_DIR}/doc/morfex.1 > ${glyphshift_man_page}
  DEPENDS ${PROJECT_BINARY_DIR}/doc/morfex.1 VERBATIM)
add_custom_command(OUTPUT ${glyphshift_changelog}
  COMMAND ${GLYPHSHIFT_GZIP} -9 -n -c ${glyphshift_packaging_dir}/changelog > ${glyphshift_changelog}
  DEPENDS ${glyphshift_packaging_dir}/changelog VERBATIM)
add_custom_target(glyphshift_docs ALL DEPENDS ${glyphshift_man_page} ${glyphshift_changelog})
install(FILES ${glyphshift_man_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT program)
# Every package carries the licence and the changelog in its own folder, named after it.
foreach(pair IN LISTS glyphshift_component_packages)
  string(REPLACE "=" ";" pair "${pair}")
  list(GET pair 0 component)
  list(GET pair 1 package)
  install(FILES ${glyphshift_packaging_dir}/copyright ${glyphshift_changelog}
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${component})
endforeach()

# --- Shell completion, desktop integration ---
install(FILES ${glyphshift_packaging_dir}/morfex.bash-completion
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/bash-completion/completions RENAME morfex COMPONENT program)
install(FILES ${glyphshift_packaging_dir}/morfex.zsh-completion
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/zsh/vendor-completions RENAME _morfex COMPONENT program)
if(TARGET morfex_qt)
  install(FILES ${glyphshift_packaging_dir}/morfex.desktop DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications
    COMPONENT gui)
  install(FILES ${glyphshift_packaging_dir}/morfex.svg
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/scalable/apps COMPONENT gui)
  # The desktop entry starts morfex, which is in the package the dialog's package depends on.
  install(FILES ${glyphshift_packaging_dir}/${glyphshift_gui_package}.lintian-overrides
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides RENAME ${glyphshift_gui_package} COMPONENT gui)
endif()

include(GlyphshiftPackage)

# The install tests need no GoogleTest, so a packaging build can run them without the unit tests.
option(GLYPHSHIFT_INSTALL_TESTS "Test the installed tree and the Debian package" ${GLYPHSHIFT_TESTS})
if(GLYPHSHIFT_INSTALL_TESTS)
  enable_testing()
  add_subdirectory(tests/install)
endif()
