# Finds the DXT block codec library and defines the imported target Squish::Squish.
find_path(Squish_INCLUDE_DIR squish.h)
find_library(Squish_LIBRARY NAMES squish)
include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(Squish REQUIRED_VARS Squish_LIBRARY Squish_INCLUDE_DIR)
if(Squish_FOUND AND NOT TARGET Squish::Squish)
  add_library(Squish::Squish UNKNOWN IMPORTED)
  set_target_properties(Squish::Squish PROPERTIES IMPORTED_LOCATION "${Squish_LIBRARY}"
                                                  INTERFACE_INCLUDE_DIRECTORIES "${Squish_INCLUDE_DIR}")
endif()
mark_as_advanced(Squish_INCLUDE_DIR Squish_LIBRARY)
