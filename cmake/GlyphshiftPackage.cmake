# CPack: one Debian package, glyphshift_<version>_<arch>.deb, with the program, its dialog module,
# the library and its development files. Build it from an optimised build: scripts/package.sh.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME glyphshift)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "text file character set converter and C library")
set(CPACK_PACKAGE_DESCRIPTION_FILE ${PROJECT_SOURCE_DIR}/packaging/description.txt)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)

# The maintainer is whoever signed the newest changelog entry, so the two cannot disagree.
file(STRINGS ${PROJECT_SOURCE_DIR}/packaging/changelog glyphshift_signature REGEX "^ -- " LIMIT_COUNT 1)
if(NOT glyphshift_signature MATCHES "^ -- ([^<]+<[^>]+>)  ")
  message(FATAL_ERROR "packaging/changelog: no \" -- Name <address>  date\" line in the newest entry")
endif()
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CMAKE_MATCH_1}")

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
