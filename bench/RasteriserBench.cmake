# The full-screen pass is measured beside pixman doing the same composite.
find_package(PkgConfig REQUIRED)
pkg_check_modules(PIXMAN REQUIRED IMPORTED_TARGET pixman-1)
target_link_libraries(${name} PRIVATE PkgConfig::PIXMAN)
