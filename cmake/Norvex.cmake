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

# With NORVEX_UNITY, compiles a target's sources as units of at most NORVEX_UNITY_FILES files from
# one folder each. A unit never mixes folders, so file-local names (anonymous namespaces, statics)
# need only be distinct within a folder; sources marked SKIP_UNITY_BUILD_INCLUSION (generated code)
# compile alone.
set(NORVEX_UNITY_FILES 12 CACHE STRING "Most sources in one unity unit")
function(norvex_unity_by_folder target)
  if(NOT NORVEX_UNITY)
    return()
  endif()
  get_target_property(sources ${target} SOURCES)
  get_target_property(source_dir ${target} SOURCE_DIR)
  set(counted_folders)
  foreach(src ${sources})
    get_source_file_property(alone ${src} TARGET_DIRECTORY ${target} SKIP_UNITY_BUILD_INCLUSION)
    if(alone OR NOT src MATCHES "\\.(cpp|cc)$")
      continue()
    endif()
    get_filename_component(path ${src} ABSOLUTE BASE_DIR ${source_dir})
    get_filename_component(folder ${path} DIRECTORY)
    string(MAKE_C_IDENTIFIER "${folder}" key)
    if(NOT DEFINED count_${key})
      set(count_${key} 0)
    endif()
    math(EXPR unit "${count_${key}} / ${NORVEX_UNITY_FILES}")
    math(EXPR count_${key} "${count_${key}} + 1")
    file(RELATIVE_PATH relative ${PROJECT_SOURCE_DIR} ${folder})
    set_source_files_properties(${src} TARGET_DIRECTORY ${target} PROPERTIES UNITY_GROUP "${relative}/${unit}")
  endforeach()
  set_target_properties(${target} PROPERTIES UNITY_BUILD ON UNITY_BUILD_MODE GROUP)
endfunction()
