# x86 Windows DLLs with the Microsoft C++ ABI (see windows-msvc-common.cmake). The mingw-w64
# headers need _X86_ named for this architecture; the objects carry no safe exception handler
# table, so the linker must not ask for one.
set(CMAKE_SYSTEM_PROCESSOR X86)
set(ZEPHLOR_WINDOWS_TRIPLE i686-pc-windows-msvc)
set(ZEPHLOR_MINGW_ROOT /usr/i686-w64-mingw32)
set(ZEPHLOR_WINDOWS_EXTRA_FLAGS "-D_X86_")
set(ZEPHLOR_WINE_ARCH win32)
set(ZEPHLOR_WINE_LOADER wine)
set(ZEPHLOR_WINDOWS_LINK_FLAGS "LINKER:/safeseh:no")
include(${CMAKE_CURRENT_LIST_DIR}/windows-msvc-common.cmake)
