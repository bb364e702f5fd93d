# The body of the find modules of plain C libraries (FindAcl.cmake, FindCap.cmake): the library
# and its header, <name>_FOUND, and the imported target <name>::<library>.
macro(glyphshift_find_system_library name library header)
  find_library(${name}_LIBRARY ${library})
  find_path(${name}_INCLUDE_DIR ${header})
  include(FindPackageHandleStandardArgs)
  find_package_handle_standard_args(${name} REQUIRED_VARS ${name}_LIBRARY ${name}_INCLUDE_DIR)
  if(${name}_FOUND AND NOT TARGET ${name}::${library})
    add_library(${name}::${library} UNKNOWN IMPORTED)
    set_target_properties(${name}::${library} PROPERTIES IMPORTED_LOCATION "${${name}_LIBRARY}"
      INTERFACE_INCLUDE_DIRECTORIES "${${name}_INCLUDE_DIR}")
  endif()
endmacro()
