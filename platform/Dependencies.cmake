# zlib deflates the frames the graphics stand-in writes as PNG files.
find_package(ZLIB REQUIRED)
target_link_libraries(platform PUBLIC ZLIB::ZLIB)
