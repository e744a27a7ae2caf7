# Compiler settings shared by every target of the project.
add_compile_options(-Wall -Wextra)
if(WIN32)
  add_compile_definitions(UNICODE _UNICODE)
endif()

if(NUV_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

if(NUV_BUILD_FUZZ)
  # Every engine library is instrumented for coverage; only the fuzz targets link the driver.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# nuv_library(NAME SOURCES... [DEPENDS libs...]) - one static library per engine folder.
function(nuv_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/engine)
  target_link_libraries(${name} PUBLIC ${ARG_DEPENDS})
endfunction()
