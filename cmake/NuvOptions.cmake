# Compiler settings shared by every target of the project.
add_compile_options(-Wall -Wextra)
if(WIN32)
  add_compile_definitions(UNICODE _UNICODE)
endif()

# Every build compiles through ccache when it is installed. Paths under the checkout are hashed
# relative to it and the build folder is left out of the hash, so different build folders and
# checkouts on one machine (a developer's builds, CI's fresh clone) share one cache.
option(NUV_CCACHE "Compile through ccache when it is installed" ON)
if(NUV_CCACHE AND NOT CMAKE_CXX_COMPILER_LAUNCHER)
  find_program(NUV_CCACHE_PROGRAM ccache)
  if(NUV_CCACHE_PROGRAM)
    set(_nuv_launcher env CCACHE_BASEDIR=${PROJECT_SOURCE_DIR} CCACHE_NOHASHDIR=true ${NUV_CCACHE_PROGRAM})
    set(CMAKE_C_COMPILER_LAUNCHER ${_nuv_launcher})
    set(CMAKE_CXX_COMPILER_LAUNCHER ${_nuv_launcher})
  endif()
endif()

# Every sanitizer report is fatal, so that no run that produced one can pass.
if(NUV_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()

if(NUV_BUILD_FUZZ)
  # Every engine library is instrumented for coverage; only the fuzz targets link the driver.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()

# nuv_library(NAME SOURCES... [DEPENDS libs...]) - one static library per engine folder (engine/render's
# device-independent sources are part of nuv_scene).
function(nuv_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
  if(NOT ARG_SOURCES)
    # A folder with headers only (or none yet) still gives dependants its include root.
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/engine)
    target_link_libraries(${name} INTERFACE ${ARG_DEPENDS})
    return()
  endif()
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/engine)
  target_link_libraries(${name} PUBLIC ${ARG_DEPENDS})
  # Classes register themselves with static initialisers that nothing else refers to, so
  # every program takes the whole archive, not just the members it calls into.
  target_link_options(${name} INTERFACE "-Wl,--whole-archive,$<TARGET_FILE:${name}>,--no-whole-archive")
endfunction()
