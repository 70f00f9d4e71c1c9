# The tools for Windows, cross-built on Linux with mingw-w64's g++. Its C and C++ runtimes are
# linked in statically, so an .exe needs no DLL beyond Windows' own and the driver's. Included by
# the x64 and x86 files, which set ZEPHLOR_MINGW_TRIPLE first. The DLLs are not built here: they
# keep the Microsoft C++ ABI of the windows-msvc toolchains.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_CXX_COMPILER ${ZEPHLOR_MINGW_TRIPLE}-g++)
set(CMAKE_RC_COMPILER ${ZEPHLOR_MINGW_TRIPLE}-windres)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -s")

set(CMAKE_FIND_ROOT_PATH /usr/${ZEPHLOR_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
