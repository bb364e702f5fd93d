# find_package(Cap): the POSIX capabilities library (Debian package libcap-dev) as Cap::cap.
find_library(Cap_LIBRARY cap)
find_path(Cap_INCLUDE_DIR sys/capability.h)
include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(Cap REQUIRED_VARS Cap_LIBRARY Cap_INCLUDE_DIR)
if(Cap_FOUND AND NOT TARGET Cap::cap)
  add_library(Cap::cap UNKNOWN IMPORTED)
  set_target_properties(Cap::cap PROPERTIES IMPORTED_LOCATION "${Cap_LIBRARY}"
    INTERFACE_INCLUDE_DIRECTORIES "${Cap_INCLUDE_DIR}")
endif()
