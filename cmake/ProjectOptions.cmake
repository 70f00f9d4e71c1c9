# Compiler settings shared by every target of the project.

if(ZEPHLOR_FUZZ)
  # Coverage feedback for libFuzzer everywhere; only the fuzzers themselves link its main.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

if(ZEPHLOR_COVERAGE)
  # Atomic counters: the concurrency test runs the codec on several threads at once.
  add_compile_options(--coverage -fno-inline -fprofile-update=atomic)
  add_link_options(--coverage)
endif()

if(ZEPHLOR_SANITIZERS)
  # Halt at the first finding, so a test run cannot pass over one.
  add_compile_options(-fsanitize=${ZEPHLOR_SANITIZERS} -fno-sanitize-recover=all
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=${ZEPHLOR_SANITIZERS})
endif()

function(zephlor_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4)
    if(ZEPHLOR_WARNINGS_AS_ERRORS)
      target_compile_options(${target} PRIVATE /WX)
    endif()
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow -Wconversion -Wsign-conversion)
    if(ZEPHLOR_WARNINGS_AS_ERRORS)
      target_compile_options(${target} PRIVATE -Werror)
    endif()
  endif()
endfunction()

# The codec and the driver: no exceptions, no run-time type information, and nothing visible
# outside the library but what its header exports.
function(zephlor_protocol_library target)
  zephlor_warnings(${target})
  set_target_properties(${target} PROPERTIES
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON
    PREFIX "")
  if(MSVC)
    target_compile_options(${target} PRIVATE /GR- /EHs-c-)
  else()
    target_compile_options(${target} PRIVATE -fno-exceptions -fno-rtti)
  endif()
  if(WIN32)
    target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/platform/windows_dll_main.cpp)
    zephlor_windows_without_runtime(${target} DllMain)
    if(ZEPHLOR_NO_CRT)
      # A PDB beside each DLL, for integrators who debug a crash in their own host. The DLL
      # names it by its file name alone, not by this build's path; unused code is still dropped.
      target_compile_options(${target} PRIVATE -g -gcodeview)
      target_link_options(${target} PRIVATE LINKER:/debug LINKER:/opt:ref LINKER:/opt:icf
                          LINKER:/pdbaltpath:%_PDB%)
    endif()
  elseif(NOT APPLE)
    # Every symbol resolved at link time, and no run-time library recorded that is not used.
    # A sanitized library leaves its sanitizer runtime to the executable that loads it.
    target_link_options(${target} PRIVATE LINKER:--as-needed)
    if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
      # The C library is named all the same, though nothing of it may be left to call: a shared
      # library on Linux is expected to say it runs on it (by its soname: g++ would drop -lc).
      target_link_options(${target} PRIVATE LINKER:--push-state,--no-as-needed -l:libc.so.6
                          LINKER:--pop-state)
    endif()
    if(NOT ZEPHLOR_SANITIZERS)
      target_link_options(${target} PRIVATE LINKER:-z,defs)
    endif()
  endif()
endfunction()

# A Windows module built without the C runtime (the cross build): it starts at `entry` and
# links kernel32 alone, plus whatever else is named after the entry.
function(zephlor_windows_without_runtime target entry)
  if(NOT ZEPHLOR_NO_CRT)
    return()
  endif()
  target_compile_definitions(${target} PRIVATE ZEPHLOR_NO_CRT)
  target_link_options(${target} PRIVATE LINKER:/entry:${entry} ${ZEPHLOR_WINDOWS_LINK_FLAGS})
  set(libraries ${ZEPHLOR_WINDOWS_IMPORT_LIBRARIES}/libkernel32.a)
  foreach(extra IN LISTS ARGN)
    list(APPEND libraries ${ZEPHLOR_WINDOWS_IMPORT_LIBRARIES}/lib${extra}.a)
  endforeach()
  target_link_libraries(${target} PRIVATE ${libraries})
endfunction()

# A mingw-w64 program's DWARF in a file of its own beside it, `NAME.exe.debug`, which the program
# names in its .gnu_debuglink section (gdb finds it there); the program itself is stripped.
function(zephlor_separate_debug_info target)
  if(NOT MINGW)
    return()
  endif()
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_OBJCOPY} --only-keep-debug $<TARGET_FILE:${target}>
            $<TARGET_FILE:${target}>.debug
    COMMAND ${CMAKE_OBJCOPY} --strip-all $<TARGET_FILE:${target}>
    COMMAND ${CMAKE_COMMAND} -E chdir $<TARGET_FILE_DIR:${target}>
            ${CMAKE_OBJCOPY} --add-gnu-debuglink=$<TARGET_FILE_NAME:${target}>.debug
            $<TARGET_FILE_NAME:${target}>
    VERBATIM)
endfunction()

# On Windows, a version resource for `target` (product, file version, `description`), so that
# Explorer's Properties show what the file is; for a program also its application manifest.
function(zephlor_version_resource target description)
  if(NOT WIN32)
    return()
  endif()
  get_target_property(type ${target} TYPE)
  set(ZEPHLOR_RC_NAME ${target})
  set(ZEPHLOR_RC_DESCRIPTION ${description})
  if(type STREQUAL "EXECUTABLE")
    set(ZEPHLOR_RC_FILE ${target}.exe)
    set(ZEPHLOR_RC_FILE_TYPE 1)
  else()
    set(ZEPHLOR_RC_FILE ${target}.dll)
    set(ZEPHLOR_RC_FILE_TYPE 2)
  endif()
  configure_file(${PROJECT_SOURCE_DIR}/windows/version.rc.in
                 ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc @ONLY)
  target_sources(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
  if(type STREQUAL "EXECUTABLE")
    # The tools' application manifest (resource type 24, id 1 for a program).
    file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/${target}_manifest.rc
         "1 24 \"${PROJECT_SOURCE_DIR}/windows/tool.manifest\"\n")
    target_sources(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/${target}_manifest.rc)
  endif()
endfunction()
