# Ogg Vorbis decoding of sound streams.
find_package(PkgConfig REQUIRED)
pkg_check_modules(NORVEX_VORBISFILE REQUIRED IMPORTED_TARGET vorbisfile)
list(APPEND NORVEX_EXTRA_LIBS PkgConfig::NORVEX_VORBISFILE)
