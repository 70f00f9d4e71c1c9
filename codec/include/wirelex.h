/*
 * wirelex: builds the Zephlor controller's request lines and parses its reply lines.
 *
 * Stateless and allocation-free: every function works only on its arguments, so any thread may
 * call any function at any time as long as concurrent calls do not share a buffer or out-record.
 *
 * Builders write the request line ("V", the command text, CR LF) followed by a NUL into `line`,
 * store its length (without the NUL) through `lineLength` and return the same length. They take no
 * buffer size: a buffer of WIRELEX_MAX_LINE + 1 bytes serves every builder. Address numbers and
 * 8-bit set values use only the low 8 bits of their argument, `modifier` only the low 16 bits.
 *
 * Parsers read a NUL-terminated reply line from its first character and return 1 when it has the
 * exchange's shape (and, for acknowledgements, echoes the expected value), else 0. A query
 * parser writes `out` only when it returns 1; ParseFirmware fills its slots field by field, so
 * after a 0 the record may be partly written and must not be used.
 */
#ifndef WIRELEX_H
#define WIRELEX_H

#include <stdint.h>

#include "wirelex_version.h"
#ifndef __cplusplus
#include <stdbool.h>
#endif

#if defined(_WIN32)
#if defined(WIRELEX_BUILDING)
#define WIRELEX_API __declspec(dllexport)
#else
#define WIRELEX_API __declspec(dllimport)
#endif
#else
#define WIRELEX_API __attribute__((visibility("default")))
#endif

/* The longest request line of the protocol, in characters without the NUL. */
#define WIRELEX_MAX_LINE 32

#ifdef __cplusplus
extern "C" {
#endif

/* The firmware reply "RGV# a VER major.minor d1/d2/d3", in the slot order the driver hands on:
 * the first two numbers of the date are stored crosswise. */
typedef struct FirmwareInfo {
  int32_t versionMajor;
  int32_t versionMinor;
  int32_t date2;
  int32_t date1;
  int32_t date3;
} FirmwareInfo;

/* Query builders. */
WIRELEX_API int32_t FillQueryFirmware(int32_t address1, char* line, int32_t* lineLength);
WIRELEX_API int32_t FillQueryLEDState(int32_t address1, int32_t address2, int32_t address3,
                                      char* line, int32_t* lineLength);
WIRELEX_API int32_t FillQueryModuleLoadLevel(int32_t address1, int32_t address2, int32_t address3,
                                             int32_t address4, char* line, int32_t* lineLength);
WIRELEX_API int32_t FillQueryStationLoadLevel(int32_t address1, int32_t address2, int32_t address3,
                                              char* line, int32_t* lineLength);
WIRELEX_API int32_t FillQueryContactorLoadLevel(int32_t address1, char* line, int32_t* lineLength);
WIRELEX_API int32_t FillQueryThermostat(int32_t address1, int32_t address2, int32_t address3,
                                        char* line, int32_t* lineLength);
WIRELEX_API int32_t FillQuerySwitch(int32_t address1, int32_t address2, int32_t address3,
                                    char* line, int32_t* lineLength);

/* Query parsers. */
WIRELEX_API bool ParseFirmware(const char* reply, FirmwareInfo* out);
WIRELEX_API bool ParseLEDState(const char* reply, int32_t* out);
WIRELEX_API bool ParseModuleLoadLevel(const char* reply, int32_t* out);
WIRELEX_API bool ParseStationLoadLevel(const char* reply, int32_t* out);
WIRELEX_API bool ParseContactorLoadLevel(const char* reply, int32_t* out);
WIRELEX_API bool ParseThermostat(const char* reply, int32_t* out);
WIRELEX_API bool ParseSwitch(const char* reply, int32_t* out);

/* Set builders. `setValue` is reduced to its low 8 bits except by FillSetThermostat, which writes
 * it whole. The three load level builders append `modifier` (its low 16 bits) when non-zero. */
WIRELEX_API int32_t FillSetLEDState(int32_t address1, int32_t address2, int32_t address3,
                                    int32_t setValue, char* line, int32_t* lineLength);
WIRELEX_API int32_t FillSetModuleLoadLevel(int32_t address1, int32_t address2, int32_t address3,
                                           int32_t address4, int32_t setValue, int32_t modifier,
                                           char* line, int32_t* lineLength);
WIRELEX_API int32_t FillSetStationLoadLevel(int32_t address1, int32_t address2, int32_t address3,
                                            int32_t setValue, int32_t modifier, char* line,
                                            int32_t* lineLength);
WIRELEX_API int32_t FillSetContactorLoadLevel(int32_t address1, int32_t setValue, int32_t modifier,
                                              char* line, int32_t* lineLength);
WIRELEX_API int32_t FillSetThermostat(int32_t address1, int32_t address2, int32_t address3,
                                      int32_t setValue, char* line, int32_t* lineLength);
WIRELEX_API int32_t FillSetSwitch(int32_t address1, int32_t address2, int32_t address3,
                                  int32_t setValue, char* line, int32_t* lineLength);
WIRELEX_API int32_t FillSetModuleLoadProfile(int32_t address1, int32_t address2, int32_t address3,
                                             int32_t address4, int32_t setValue, char* line,
                                             int32_t* lineLength);
WIRELEX_API int32_t FillSetStationLoadProfile(int32_t address1, int32_t address2, int32_t address3,
                                              int32_t setValue, char* line, int32_t* lineLength);

/* Acknowledgement parsers: 1 when the reply has the exchange's shape and its value field equals
 * `expected` reduced as the builder reduced it (low 8 bits, or whole for the thermostat). The
 * echoed address numbers and anything after the value field are not compared. */
WIRELEX_API bool ParseSetLEDState(const char* reply, int32_t expected);
WIRELEX_API bool ParseSetModuleLoadLevel(const char* reply, int32_t expected);
WIRELEX_API bool ParseSetStationLoadLevel(const char* reply, int32_t expected);
WIRELEX_API bool ParseSetContactorLoadLevel(const char* reply, int32_t expected);
WIRELEX_API bool ParseSetThermostat(const char* reply, int32_t expected);
WIRELEX_API bool ParseSetSwitch(const char* reply, int32_t expected);
WIRELEX_API bool ParseSetModuleLoadProfile(const char* reply, int32_t expected);
WIRELEX_API bool ParseSetStationLoadProfile(const char* reply, int32_t expected);

#ifdef __cplusplus
}
#endif

#endif /* WIRELEX_H */
