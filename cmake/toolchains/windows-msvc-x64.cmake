# x64 Windows DLLs with the Microsoft C++ ABI (see windows-msvc-common.cmake).
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(ZEPHLOR_WINDOWS_TRIPLE x86_64-pc-windows-msvc)
set(ZEPHLOR_MINGW_ROOT /usr/x86_64-w64-mingw32)
set(ZEPHLOR_WINDOWS_EXTRA_FLAGS "")
set(ZEPHLOR_WINE_ARCH win64)
set(ZEPHLOR_WINE_LOADER wine64)
include(${CMAKE_CURRENT_LIST_DIR}/windows-msvc-common.cmake)
