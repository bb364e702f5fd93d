# Run by CPack after it built the package (CPACK_POST_BUILD_SCRIPTS). CPack runs ldconfig from
# generated postinst and postrm scripts; Debian does it with a trigger instead, which dpkg runs
# once per installation run. So the package is rebuilt with the trigger and without the scripts,
# which do nothing else.
find_program(dpkg_deb dpkg-deb REQUIRED)
foreach(deb IN LISTS CPACK_PACKAGE_FILES)
  if(NOT deb MATCHES "\\.deb$")
    continue()
  endif()
  set(tree "${CPACK_TOPLEVEL_DIRECTORY}/ldconfig-trigger")
  file(REMOVE_RECURSE "${tree}")
  execute_process(COMMAND ${dpkg_deb} --raw-extract "${deb}" "${tree}" COMMAND_ERROR_IS_FATAL ANY)
  if(EXISTS "${tree}/DEBIAN/postinst")
    file(STRINGS "${tree}/DEBIAN/postinst" commands REGEX "^[ \t]*[a-z]")
    if(NOT commands MATCHES "^[ \t]*set -e;[ \t]*if .*;[ \t]*ldconfig;[ \t]*fi$")
      message(FATAL_ERROR "${deb}: the generated postinst does more than run ldconfig:\n${commands}")
    endif()
    file(REMOVE "${tree}/DEBIAN/postinst" "${tree}/DEBIAN/postrm")
    file(WRITE "${tree}/DEBIAN/triggers" "activate-noawait ldconfig\n")
    execute_process(COMMAND ${dpkg_deb} --root-owner-group --build "${tree}" "${deb}"
      OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  endif()
  file(REMOVE_RECURSE "${tree}")
endforeach()
