# Windows DLLs with the Microsoft C++ ABI, cross-built on Linux: clang targeting MSVC, the C
# headers and import libraries of mingw-w64, and lld-link. Nothing of the Microsoft C runtime is
# used: the libraries need only kernel32. Included by the x64 and x86 toolchain files, which set
# ZEPHLOR_WINDOWS_TRIPLE and ZEPHLOR_MINGW_ROOT first.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_CXX_COMPILER_TARGET ${ZEPHLOR_WINDOWS_TRIPLE})
set(CMAKE_LINKER lld-link)
set(CMAKE_RC_COMPILER llvm-rc)
set(CMAKE_AR llvm-ar)
# There is no runtime to link a test program against while CMake probes the compiler.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

# The mingw-w64 headers expect a GNU compiler; only C headers are used.
set(CMAKE_CXX_FLAGS_INIT "-fgnuc-version=4.2.1 -nostdinc++ -isystem ${ZEPHLOR_MINGW_ROOT}/include ${ZEPHLOR_WINDOWS_EXTRA_FLAGS}")
# No default libraries: neither the ones CMake names for Windows programs nor the runtime that
# the objects ask for; each target names the import libraries it needs.
set(CMAKE_CXX_STANDARD_LIBRARIES "")
set(ZEPHLOR_LINK_FLAGS "-fuse-ld=lld -nostdlib -Qunused-arguments -Xlinker /nodefaultlib")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${ZEPHLOR_LINK_FLAGS}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${ZEPHLOR_LINK_FLAGS}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${ZEPHLOR_LINK_FLAGS}")

set(CMAKE_FIND_ROOT_PATH ${ZEPHLOR_MINGW_ROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Read by the project: no C runtime, and where kernel32's import library is.
set(ZEPHLOR_NO_CRT ON)
set(ZEPHLOR_WINDOWS_IMPORT_LIBRARIES ${ZEPHLOR_MINGW_ROOT}/lib)
