# The tools for Windows, cross-built on Linux with mingw-w64's g++. Its C and C++ runtimes are
# linked in statically, so an .exe needs no DLL beyond Windows' own and the driver's. Included by
# the x64 and x86 files, which set ZEPHLOR_MINGW_TRIPLE and ZEPHLOR_MINGW_PACKAGE first. The DLLs
# are not built here: they keep the Microsoft C++ ABI of the windows-msvc toolchains.
set(CMAKE_SYSTEM_NAME Windows)

# The tools need std::thread and std::mutex, which only the posix-thread variant of mingw-w64's
# g++ has. Debian installs both variants side by side and points the bare triple at either, so
# the variant is named; the bare name is taken only when it says it is the posix one.
if(NOT ZEPHLOR_MINGW_CXX)
  find_program(posix_cxx ${ZEPHLOR_MINGW_TRIPLE}-g++-posix NO_CACHE)
  if(posix_cxx)
    set(chosen ${posix_cxx})
  else()
    find_program(bare_cxx ${ZEPHLOR_MINGW_TRIPLE}-g++ NO_CACHE)
    if(bare_cxx)
      execute_process(COMMAND ${bare_cxx} -v ERROR_VARIABLE about OUTPUT_QUIET)
      if(about MATCHES "Thread model: posix")
        set(chosen ${bare_cxx})
      endif()
    endif()
  endif()
  if(NOT chosen)
    message(FATAL_ERROR "No posix-thread mingw-w64 g++ for ${ZEPHLOR_MINGW_TRIPLE}: install the "
                        "Debian package ${ZEPHLOR_MINGW_PACKAGE} (tools/install-deps does)")
  endif()
  # Cached, so the compiler checks that read this file again keep the same choice.
  set(ZEPHLOR_MINGW_CXX ${chosen} CACHE FILEPATH "mingw-w64 g++ with posix threads")
endif()
set(CMAKE_CXX_COMPILER ${ZEPHLOR_MINGW_CXX})
# windres comes in one variant only.
set(CMAKE_RC_COMPILER ${ZEPHLOR_MINGW_TRIPLE}-windres)
# Built with debug information, which zephlor_separate_debug_info moves into a file beside the
# program.
set(CMAKE_CXX_FLAGS_INIT "-g")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

set(CMAKE_FIND_ROOT_PATH /usr/${ZEPHLOR_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
