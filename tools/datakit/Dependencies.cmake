# zlib writes the gzip-wrapped container entries.
find_package(ZLIB REQUIRED)
target_link_libraries(datakit PUBLIC ZLIB::ZLIB)
