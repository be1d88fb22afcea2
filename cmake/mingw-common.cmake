# Cross compilers of the posix thread model: std::thread and std::mutex need it.
set(CMAKE_C_COMPILER ${GLO_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${GLO_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${GLO_TRIPLE}-windres)
set(CMAKE_OBJDUMP ${GLO_TRIPLE}-objdump)
set(CMAKE_FIND_ROOT_PATH /usr/${GLO_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Windows executables run under Wine in the build's own prefix (in the source tree; the SDK
# package carries the toolchain files without it).
if(EXISTS ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
endif()
