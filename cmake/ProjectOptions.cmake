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
  elseif(NOT APPLE)
    # Every symbol resolved at link time, and no run-time library recorded that is not used.
    # A sanitized library leaves its sanitizer runtime to the executable that loads it.
    target_link_options(${target} PRIVATE LINKER:--as-needed)
    if(NOT ZEPHLOR_SANITIZERS)
      target_link_options(${target} PRIVATE LINKER:-z,defs)
    endif()
  endif()
endfunction()
