# find_package(Cap): the POSIX capabilities library (Debian package libcap-dev) as Cap::cap.
include(GlyphshiftSystemLibrary)
glyphshift_find_system_library(Cap cap sys/capability.h)
