# Reads the export and import tables of the built DLLs with llvm-readobj: wirelex.dll exports
# exactly the thirty codec functions, osterfell.dll exactly the seven entry points under the
# Microsoft C++ ABI's names, and osterfell.dll imports all thirty from wirelex.dll.
# Called with -DREADOBJ, -DARCHITECTURE (x64 or x86), -DCODEC and -DDRIVER.

set(codec_exports
  FillQueryFirmware FillQueryLEDState FillQueryModuleLoadLevel FillQueryStationLoadLevel
  FillQueryContactorLoadLevel FillQueryThermostat FillQuerySwitch
  ParseFirmware ParseLEDState ParseModuleLoadLevel ParseStationLoadLevel ParseContactorLoadLevel
  ParseThermostat ParseSwitch
  FillSetLEDState FillSetModuleLoadLevel FillSetStationLoadLevel FillSetContactorLoadLevel
  FillSetThermostat FillSetSwitch FillSetModuleLoadProfile FillSetStationLoadProfile
  ParseSetLEDState ParseSetModuleLoadLevel ParseSetStationLoadLevel ParseSetContactorLoadLevel
  ParseSetThermostat ParseSetSwitch ParseSetModuleLoadProfile ParseSetStationLoadProfile)

if(ARCHITECTURE STREQUAL "x64")
  set(driver_exports
    "?Prepare_xxx@@YAHHPEADAEAH1@Z"
    "?zCompare_xxx@@YAHHAEATIA@@0AEAHPEAX2@Z"
    "?Set_xxx@@YAXAEATIA@@AEAI1AEAHPEAURSDATA@@PEADPEAX@Z"
    "?zReadAny_xxx@@YAHAEATIA@@AEAI1PEAD@Z"
    "?Check_xxx@@YAHAEATIA@@AEAI11PEADPEAXH@Z"
    "?Get_xxx@@YAHAEATIA@@AEAIAEAHPEAURSDATA@@PEAD2PEAX@Z"
    "?zzStub@@YAXXZ")
else()
  set(driver_exports
    "?Prepare_xxx@@YAHHPADAAH1@Z"
    "?zCompare_xxx@@YAHHAATIA@@0AAHPAX2@Z"
    "?Set_xxx@@YAXAATIA@@AAI1AAHPAURSDATA@@PADPAX@Z"
    "?zReadAny_xxx@@YAHAATIA@@AAI1PAD@Z"
    "?Check_xxx@@YAHAATIA@@AAI11PADPAXH@Z"
    "?Get_xxx@@YAHAATIA@@AAIAAHPAURSDATA@@PAD2PAX@Z"
    "?zzStub@@YAXXZ")
endif()

# The values behind "LABEL: " in llvm-readobj's output `text`, sorted; `pattern` says what a
# value may contain.
function(labelled_values label pattern text out)
  string(REGEX MATCHALL "${label}: ${pattern}" lines "${text}")
  set(values "")
  foreach(line IN LISTS lines)
    string(REPLACE "${label}: " "" value "${line}")
    list(APPEND values "${value}")
  endforeach()
  list(SORT values)
  set(${out} "${values}" PARENT_SCOPE)
endfunction()

function(read_table dll what out)
  execute_process(COMMAND ${READOBJ} ${what} ${dll} OUTPUT_VARIABLE text RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "llvm-readobj could not read ${dll}")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

function(expect_same what actual expected)
  list(SORT expected)
  if(NOT "${actual}" STREQUAL "${expected}")
    message(FATAL_ERROR "${what}\n  actual:   ${actual}\n  expected: ${expected}")
  endif()
endfunction()

read_table(${CODEC} --coff-exports text)
labelled_values(Name "[^\n]+" "${text}" codec)
expect_same("wirelex.dll exports" "${codec}" "${codec_exports}")
read_table(${DRIVER} --coff-exports text)
labelled_values(Name "[^\n]+" "${text}" driver)
expect_same("osterfell.dll exports" "${driver}" "${driver_exports}")

# The import table lists each imported module's name, then its symbols.
read_table(${DRIVER} --coff-imports text)
string(REGEX MATCH "Name: wirelex.dll[^}]*" from_codec "${text}")
labelled_values(Symbol "[A-Za-z]+" "${from_codec}" imported)
expect_same("osterfell.dll imports from wirelex.dll" "${imported}" "${codec_exports}")
message(STATUS "export and import tables as expected (${ARCHITECTURE})")
