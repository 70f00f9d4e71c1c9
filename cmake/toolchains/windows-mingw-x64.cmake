# The tools for x64 Windows (see windows-mingw-common.cmake).
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(ZEPHLOR_MINGW_TRIPLE x86_64-w64-mingw32)
set(ZEPHLOR_MINGW_PACKAGE g++-mingw-w64-x86-64-posix)
include(${CMAKE_CURRENT_LIST_DIR}/windows-mingw-common.cmake)
