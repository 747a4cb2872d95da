# Shared build helpers: sanitizers, source globbing and the test, bench and fuzz target makers.

function(norvex_apply_sanitizer)
  if(NORVEX_SANITIZE STREQUAL "asan")
    set(flags -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  elseif(NORVEX_SANITIZE STREQUAL "tsan")
    set(flags -fsanitize=thread -fno-omit-frame-pointer)
  elseif(NOT NORVEX_SANITIZE STREQUAL "")
    message(FATAL_ERROR "Unknown NORVEX_SANITIZE value '${NORVEX_SANITIZE}'")
  endif()
  if(flags)
    # These builds check rather than measure: -O1 compiles in about half the time of -O2 and keeps
    # the tests quick, and line tables (-g1) are all a sanitizer report's stack needs.
    add_compile_options(${flags} -O1 -g1)
    add_link_options(${flags})
  endif()
endfunction()

# Collects the C++ sources below the given folders (relative to the project root).
function(norvex_glob_sources out)
  set(all)
  foreach(dir ${ARGN})
    file(GLOB_RECURSE found CONFIGURE_DEPENDS
         ${PROJECT_SOURCE_DIR}/${dir}/*.cpp ${PROJECT_SOURCE_DIR}/${dir}/*.c)
    list(APPEND all ${found})
  endforeach()
  set(${out} ${all} PARENT_SCOPE)
endfunction()

# Drops program entries (sources under a "main" folder below root) from a source list. The test is
# made on the path relative to root, so a checkout that itself lives under a "main" folder keeps
# its library sources.
function(norvex_drop_program_entries var root)
  set(kept)
  foreach(file ${${var}})
    file(RELATIVE_PATH rel ${root} ${file})
    if(NOT rel MATCHES "(^|/)main/")
      list(APPEND kept ${file})
    endif()
  endforeach()
  set(${var} ${kept} PARENT_SCOPE)
endfunction()

# Reads "// ctest-labels: a b" from the first lines of a test file.
function(norvex_read_labels file out)
  file(STRINGS ${file} line REGEX "^// ctest-labels:" LIMIT_COUNT 1)
  set(labels)
  if(line)
    string(REGEX REPLACE "^// ctest-labels:[ ]*" "" line "${line}")
    separate_arguments(labels UNIX_COMMAND "${line}")
  endif()
  set(${out} ${labels} PARENT_SCOPE)
endfunction()
