# Ogg Vorbis decoding of sound streams; Ogg framing, Theora and Vorbis synthesis for videos.
find_package(PkgConfig REQUIRED)
pkg_check_modules(NORVEX_VORBISFILE REQUIRED IMPORTED_TARGET vorbisfile)
list(APPEND NORVEX_EXTRA_LIBS PkgConfig::NORVEX_VORBISFILE)
pkg_check_modules(NORVEX_THEORA REQUIRED IMPORTED_TARGET theora theoradec vorbis ogg)
list(APPEND NORVEX_EXTRA_LIBS PkgConfig::NORVEX_THEORA)
