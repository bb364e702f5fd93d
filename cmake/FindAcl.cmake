# find_package(Acl): the POSIX access-list library (Debian package libacl1-dev) as Acl::acl.
find_library(Acl_LIBRARY acl)
find_path(Acl_INCLUDE_DIR sys/acl.h)
include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(Acl REQUIRED_VARS Acl_LIBRARY Acl_INCLUDE_DIR)
if(Acl_FOUND AND NOT TARGET Acl::acl)
  add_library(Acl::acl UNKNOWN IMPORTED)
  set_target_properties(Acl::acl PROPERTIES IMPORTED_LOCATION "${Acl_LIBRARY}"
    INTERFACE_INCLUDE_DIRECTORIES "${Acl_INCLUDE_DIR}")
endif()
