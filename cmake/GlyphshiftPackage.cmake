# CPack: the Debian packages, one per install component (cmake/GlyphshiftInstall.cmake), so a
# server installs the program without Qt and a library user gets the library without the program:
#
#   libglyphshift1      the shared library
#   libglyphshift-dev   header, unversioned link, pkg-config file, CMake package
#   glyphshift          morfex, its manual page, bash and zsh completion
#   glyphshift-gui      the dialog module, the desktop entry and the icon
#
# Build them from an optimised build: scripts/package.sh.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME glyphshift)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)

# The maintainer is whoever signed the newest changelog entry, so the two cannot disagree.
file(STRINGS ${PROJECT_SOURCE_DIR}/packaging/changelog glyphshift_signature REGEX "^ -- " LIMIT_COUNT 1)
if(NOT glyphshift_signature MATCHES "^ -- ([^<]+<[^>]+>)  ")
  message(FATAL_ERROR "packaging/changelog: no \" -- Name <address>  date\" line in the newest entry")
endif()
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CMAKE_MATCH_1}")

# Component and package name; the description is packaging/<package>.description, whose first
# line is the synopsis. CPack would put the project's summary in front of each description
# unless the summary is its own default text.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${CMAKE_PROJECT_NAME} built using CMake")
set(CPACK_DEBIAN_LIBRARY_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_PROGRAM_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_GUI_PACKAGE_SECTION utils)
set(CPACK_COMPONENTS_ALL)
foreach(pair IN LISTS glyphshift_component_packages)
  string(REPLACE "=" ";" pair "${pair}")
  list(GET pair 0 component)
  list(GET pair 1 package)
  list(APPEND CPACK_COMPONENTS_ALL ${component})
  string(TOUPPER ${component} COMPONENT)
  set(CPACK_DEBIAN_${COMPONENT}_PACKAGE_NAME ${package})
  file(READ ${PROJECT_SOURCE_DIR}/packaging/${package}.description CPACK_DEBIAN_${COMPONENT}_DESCRIPTION)
endforeach()

# Between our packages: exactly this version, as they come from one build (the dialog module is
# checked against the program by version, the development link against the library's file).
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_COMPONENT_DEVELOPMENT_DEPENDS library)
set(CPACK_COMPONENT_GUI_DEPENDS program)

# Depends from the shared libraries the ELF files link (dpkg-shlibdeps); a shlibs file so that
# packages linking libglyphshift.so.1 get a dependency on us in turn. Any later 1.x keeps the ABI.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")

# Policy wants stripped binaries, 0755 directories and 0644/0755 control files, whatever the
# builder's umask.
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# A source tarball (package_source) of what git tracks, not of the build folders.
set(CPACK_SOURCE_GENERATOR TGZ)
set(CPACK_SOURCE_IGNORE_FILES "/\\.git/" "/build/" "/build-[^/]*/" "__pycache__/" "\\.pyc$")

# ldconfig by trigger rather than by maintainer scripts.
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/GlyphshiftDebTriggers.cmake)

include(CPack)
