# What the build takes from the system comes from Debian's packages: a missing one stops the
# configure with the package that brings it (scripts/install-deps.sh installs them all), rather
# than with CMake's search paths.

# glyphshift_find_package(<name> <debian-packages> [find_package arguments...]) - required; a
# macro, so that <name>_FOUND and the package's variables reach the caller.
macro(glyphshift_find_package name debian_packages)
  find_package(${name} ${ARGN})
  if(NOT ${name}_FOUND)
    message(FATAL_ERROR "${name} was not found: install the Debian package ${debian_packages} "
      "(scripts/install-deps.sh installs every package the build needs)")
  endif()
endmacro()

