# The engine's subsystems above the core call each other as the design requires, so they form one
# library. Each subsystem folder may add a CMake fragment "<folder>/Sources.cmake" for generated
# sources and extra dependencies; plain .cpp files are picked up by globbing.
set(NORVEX_SUBSYSTEMS engine scene renderer effects ui gameplay audio online game scriptapi)
norvex_glob_sources(NORVEX_SOURCES ${NORVEX_SUBSYSTEMS})
# Program entries live in "main" folders and build executables, not library code.
norvex_drop_program_entries(NORVEX_SOURCES ${PROJECT_SOURCE_DIR})
set(NORVEX_EXTRA_SOURCES)
set(NORVEX_EXTRA_LIBS)
foreach(sub ${NORVEX_SUBSYSTEMS})
  if(EXISTS ${PROJECT_SOURCE_DIR}/${sub}/Sources.cmake)
    include(${PROJECT_SOURCE_DIR}/${sub}/Sources.cmake)
  endif()
endforeach()
if(NORVEX_SOURCES OR NORVEX_EXTRA_SOURCES)
  add_library(subsystems OBJECT ${NORVEX_SOURCES} ${NORVEX_EXTRA_SOURCES})
  target_link_libraries(subsystems PUBLIC core platform ${NORVEX_EXTRA_LIBS})
  norvex_unity_by_folder(subsystems)
endif()

# What every program and test executable links: the engine's objects themselves, each source compiled
# once per build, with no archive written in between.
add_library(norvex INTERFACE)
foreach(part platform core subsystems)
  if(TARGET ${part})
    target_link_libraries(norvex INTERFACE ${part})
    get_target_property(type ${part} TYPE)
    if(type STREQUAL "OBJECT_LIBRARY")
      target_link_libraries(norvex INTERFACE $<TARGET_OBJECTS:${part}>)
    endif()
  endif()
endforeach()
set(NORVEX_TOP_LIBRARY norvex)

# The game: a thin entry over the engine.
file(GLOB TESSARINE_MAIN CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/game/main/*.cpp)
if(TESSARINE_MAIN AND TARGET subsystems)
  add_executable(tessarine ${TESSARINE_MAIN})
  target_link_libraries(tessarine PRIVATE norvex)
endif()
