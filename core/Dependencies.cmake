# zlib inflates the gzip-wrapped entries of data containers.
find_package(ZLIB REQUIRED)
target_link_libraries(core PUBLIC ZLIB::ZLIB)
