# find_package(Acl): the POSIX access-list library (Debian package libacl1-dev) as Acl::acl.
include(GlyphshiftSystemLibrary)
glyphshift_find_system_library(Acl acl sys/acl.h)
