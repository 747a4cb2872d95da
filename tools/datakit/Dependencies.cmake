# zlib writes the gzip-wrapped container entries.
find_package(ZLIB REQUIRED)
target_link_libraries(datakit PUBLIC ZLIB::ZLIB)
# The shader sources the kit installs into data roots.
target_compile_definitions(datakit PRIVATE NORVEX_SHADER_SOURCE_DIR="${PROJECT_SOURCE_DIR}/data/shaders")
