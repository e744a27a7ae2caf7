# Cross build for 64-bit Windows with Debian's mingw-w64 (posix threads for std::thread and std::mutex).
# Use: cmake -S . -B build/win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# Tests run under Wine through scripts/wine-run.sh, with one Wine prefix per build folder.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(NUV_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${NUV_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${NUV_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${NUV_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${NUV_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Static libgcc, libstdc++ and winpthread: the programs and modules need no DLL of the toolchain.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

# UNICODE and _UNICODE come from NuvOptions.cmake for every Windows build.

get_filename_component(_nuv_root "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(NUV_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix" CACHE PATH "Wine prefix of this build's test runs")
set(CMAKE_CROSSCOMPILING_EMULATOR "${_nuv_root}/scripts/wine-run.sh;--prefix;${NUV_WINEPREFIX}")
