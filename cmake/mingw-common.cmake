# Shared by both mingw-w64 toolchain files. The -posix compilers are the
# ones GoogleTest builds with; the programs themselves link everything
# statically, so no compiler runtime DLL travels with them.
set(CMAKE_C_COMPILER   ${MV_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MV_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${MV_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${MV_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# CTest runs the Windows tests through Wine, in the private prefix; the PE32
# ones run there too, under WoW64 (tools/wine-run starts the 32-bit loader).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run)
