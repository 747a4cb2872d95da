# zlib writes the gzip-wrapped container entries.
find_package(ZLIB REQUIRED)
target_link_libraries(datakit PUBLIC ZLIB::ZLIB)
# vorbisenc and ogg write the Ogg Vorbis test sounds.
find_package(PkgConfig REQUIRED)
pkg_check_modules(DATAKIT_VORBISENC REQUIRED IMPORTED_TARGET vorbisenc vorbis ogg)
target_link_libraries(datakit PUBLIC PkgConfig::DATAKIT_VORBISENC)
# theoraenc writes the Ogg Theora test videos.
pkg_check_modules(DATAKIT_THEORAENC REQUIRED IMPORTED_TARGET theoraenc)
target_link_libraries(datakit PUBLIC PkgConfig::DATAKIT_THEORAENC)
# The shader sources the kit installs into data roots.
target_compile_definitions(datakit PRIVATE NORVEX_SHADER_SOURCE_DIR="${PROJECT_SOURCE_DIR}/data/shaders")
# FreeType renders the demo's glyph pages from a Debian font (the engine never rasterises glyphs).
pkg_check_modules(DATAKIT_FREETYPE REQUIRED IMPORTED_TARGET freetype2)
target_link_libraries(datakit PUBLIC PkgConfig::DATAKIT_FREETYPE)
