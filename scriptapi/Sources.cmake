# Script API bindings: Lua 5.1 and tolua++ from the system; one generated source per package file.
# Generated sources are build products (never committed).
find_package(PkgConfig REQUIRED)
pkg_check_modules(LUA51 REQUIRED IMPORTED_TARGET lua5.1)
find_program(TOLUA_GENERATOR NAMES tolua++5.1 REQUIRED)
find_library(TOLUA_LIBRARY NAMES tolua++5.1 REQUIRED)
find_path(TOLUA_INCLUDE_DIR tolua++.h REQUIRED)
# The interpreter is linked in statically: engine code calls it a few dozen times per script call,
# and a call into a shared library costs an extra indirect jump each time.
find_library(LUA51_STATIC_LIBRARY NAMES liblua5.1.a HINTS ${LUA51_LIBRARY_DIRS} REQUIRED)

set(SCRIPTAPI_PACKAGES engine entity sound multiplayer math input camera navigation ui gamedelegate video config sequences text game)
set(SCRIPTAPI_OUTPUT ${CMAKE_BINARY_DIR}/scriptapi)
file(MAKE_DIRECTORY ${SCRIPTAPI_OUTPUT})
foreach(package ${SCRIPTAPI_PACKAGES})
  set(pkg ${PROJECT_SOURCE_DIR}/scriptapi/${package}.pkg)
  set(out ${SCRIPTAPI_OUTPUT}/tolua_${package}.cpp)
  # The generator also writes a "luaopen_<name>" opener; with a bare package name that is Lua's own
  # library opener ("luaopen_math"), which then wins over the static library's and leaves scripts
  # without the standard library. The prefix keeps every generated opener in a name space of ours.
  add_custom_command(
    OUTPUT ${out}
    COMMAND ${TOLUA_GENERATOR} -L ${PROJECT_SOURCE_DIR}/scriptapi/ToluaHooks.lua -n norvex_${package} -o ${out} ${pkg}
    COMMAND ${CMAKE_COMMAND} -DFILE=${out} -P ${PROJECT_SOURCE_DIR}/scriptapi/FastBindingChecks.cmake
    DEPENDS ${pkg} ${PROJECT_SOURCE_DIR}/scriptapi/FastBindingChecks.cmake ${PROJECT_SOURCE_DIR}/scriptapi/ToluaHooks.lua
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
    COMMENT "tolua++ ${package}.pkg"
    VERBATIM)
  # Generated code is not ours to keep warning-free.
  set_source_files_properties(${out} PROPERTIES GENERATED TRUE COMPILE_OPTIONS "-w"
                              SKIP_UNITY_BUILD_INCLUSION ON)
  list(APPEND NORVEX_EXTRA_SOURCES ${out})
endforeach()

if(NOT TARGET scriptapi_lua)
  add_library(scriptapi_lua INTERFACE)
  target_include_directories(scriptapi_lua INTERFACE ${TOLUA_INCLUDE_DIR})
  target_include_directories(scriptapi_lua SYSTEM INTERFACE ${LUA51_INCLUDE_DIRS})
  target_link_libraries(scriptapi_lua INTERFACE ${TOLUA_LIBRARY} ${LUA51_STATIC_LIBRARY} ${CMAKE_DL_LIBS} m)
endif()
list(APPEND NORVEX_EXTRA_LIBS scriptapi_lua)
