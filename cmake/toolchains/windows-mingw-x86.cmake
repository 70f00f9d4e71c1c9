# The tools for x86 Windows (see windows-mingw-common.cmake).
set(CMAKE_SYSTEM_PROCESSOR x86)
set(ZEPHLOR_MINGW_TRIPLE i686-w64-mingw32)
set(ZEPHLOR_MINGW_PACKAGE g++-mingw-w64-i686-posix)
include(${CMAKE_CURRENT_LIST_DIR}/windows-mingw-common.cmake)
