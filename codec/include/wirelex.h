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
 * exchange's shape (and, for acknowledgements, echoes the expected value), else 0. The shape is
 * "R", the mnemonic, "#" and the reply's fields: each an optional sign and decimal digits, after
 * any white space. A field whose digits leave the signed 32-bit range (an echoed address number
 * as much as the value) is refused: the parser returns 0 rather than a wrapped number. What
 * follows the last field is not looked at. A query parser writes `out` only when it returns 1;
 * ParseFirmware fills its slots field by field, so after a 0 the record may be partly written
 * and must not be used.
 *
 * A read, as the driver does it:
 *
 *   char line[WIRELEX_MAX_LINE + 1];
 *   int32_t length, level;
 *   FillQueryStationLoadLevel(1, 2, 3, line, &length);   // "VGC# 1 2 3\r\n", length 12
 *   send(line, length);                                   // the caller's serial line
 *   receive(reply);                                       // e.g. "RGC# 1 2 3 75\r\n"
 *   if (ParseStationLoadLevel(reply, &level)) use(level); // 75
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

/* Query builders: "V", the mnemonic, "#" and the address numbers. */
/* "VGV# a" */
WIRELEX_API int32_t FillQueryFirmware(int32_t address1, char* line, int32_t* lineLength);
/* "VLS# a b c" */
WIRELEX_API int32_t FillQueryLEDState(int32_t address1, int32_t address2, int32_t address3,
                                      char* line, int32_t* lineLength);
/* "VGB# a b c d" */
WIRELEX_API int32_t FillQueryModuleLoadLevel(int32_t address1, int32_t address2, int32_t address3,
                                             int32_t address4, char* line, int32_t* lineLength);
/* "VGC# a b c" */
WIRELEX_API int32_t FillQueryStationLoadLevel(int32_t address1, int32_t address2, int32_t address3,
                                              char* line, int32_t* lineLength);
/* "VGL# a" */
WIRELEX_API int32_t FillQueryContactorLoadLevel(int32_t address1, char* line, int32_t* lineLength);
/* "VGH# a b c" */
WIRELEX_API int32_t FillQueryThermostat(int32_t address1, int32_t address2, int32_t address3,
                                        char* line, int32_t* lineLength);
/* "VGS# a b c" */
WIRELEX_API int32_t FillQuerySwitch(int32_t address1, int32_t address2, int32_t address3,
                                    char* line, int32_t* lineLength);

/* Query parsers: the reply echoes the address numbers, then carries the value, which `out`
 * receives whole (not reduced). The echoed address numbers are not compared with the request. */
/* "RGV# a VER major.minor d1/d2/d3": six fields, five of them handed back in FirmwareInfo. */
WIRELEX_API bool ParseFirmware(const char* reply, FirmwareInfo* out);
/* "RLS# a b c value": four fields. */
WIRELEX_API bool ParseLEDState(const char* reply, int32_t* out);
/* "RGB# a b c d value": five fields. */
WIRELEX_API bool ParseModuleLoadLevel(const char* reply, int32_t* out);
/* "RGC# a b c value": four fields. */
WIRELEX_API bool ParseStationLoadLevel(const char* reply, int32_t* out);
/* "RGL# a value": two fields. */
WIRELEX_API bool ParseContactorLoadLevel(const char* reply, int32_t* out);
/* "RGH# a b c value": four fields; the value is a signed set point. */
WIRELEX_API bool ParseThermostat(const char* reply, int32_t* out);
/* "RGS# a b c value": four fields. */
WIRELEX_API bool ParseSwitch(const char* reply, int32_t* out);

/* Set builders: the address numbers, then the value. `setValue` is reduced to its low 8 bits
 * except by FillSetThermostat, which writes it whole. The three load level builders append
 * `modifier` (its low 16 bits) when non-zero. */
/* "VLD# a b c value" */
WIRELEX_API int32_t FillSetLEDState(int32_t address1, int32_t address2, int32_t address3,
                                    int32_t setValue, char* line, int32_t* lineLength);
/* "VLB# a b c d value [modifier]" */
WIRELEX_API int32_t FillSetModuleLoadLevel(int32_t address1, int32_t address2, int32_t address3,
                                           int32_t address4, int32_t setValue, int32_t modifier,
                                           char* line, int32_t* lineLength);
/* "VLC# a b c value [modifier]" */
WIRELEX_API int32_t FillSetStationLoadLevel(int32_t address1, int32_t address2, int32_t address3,
                                            int32_t setValue, int32_t modifier, char* line,
                                            int32_t* lineLength);
/* "VLO# a value [modifier]" */
WIRELEX_API int32_t FillSetContactorLoadLevel(int32_t address1, int32_t setValue, int32_t modifier,
                                              char* line, int32_t* lineLength);
/* "VSH# a b c value", the value whole and signed */
WIRELEX_API int32_t FillSetThermostat(int32_t address1, int32_t address2, int32_t address3,
                                      int32_t setValue, char* line, int32_t* lineLength);
/* "VSW# a b c value" */
WIRELEX_API int32_t FillSetSwitch(int32_t address1, int32_t address2, int32_t address3,
                                  int32_t setValue, char* line, int32_t* lineLength);
/* "VLP# a b c d value" */
WIRELEX_API int32_t FillSetModuleLoadProfile(int32_t address1, int32_t address2, int32_t address3,
                                             int32_t address4, int32_t setValue, char* line,
                                             int32_t* lineLength);
/* "VSP# a b c value" */
WIRELEX_API int32_t FillSetStationLoadProfile(int32_t address1, int32_t address2, int32_t address3,
                                              int32_t setValue, char* line, int32_t* lineLength);

/* Acknowledgement parsers: 1 when the reply has the exchange's shape and its value field equals
 * `expected` reduced as the builder reduced it (low 8 bits, or whole for the thermostat). The
 * echoed address numbers and anything after the value field are not compared. */
/* "RLD# a b c value": four fields. */
WIRELEX_API bool ParseSetLEDState(const char* reply, int32_t expected);
/* "RLB# a b c d value": five fields. */
WIRELEX_API bool ParseSetModuleLoadLevel(const char* reply, int32_t expected);
/* "RLC# a b c value": four fields. */
WIRELEX_API bool ParseSetStationLoadLevel(const char* reply, int32_t expected);
/* "RLO# a value": two fields. */
WIRELEX_API bool ParseSetContactorLoadLevel(const char* reply, int32_t expected);
/* "RSH# a b c value": four fields, the value compared whole. */
WIRELEX_API bool ParseSetThermostat(const char* reply, int32_t expected);
/* "RSW# a b c value": four fields. */
WIRELEX_API bool ParseSetSwitch(const char* reply, int32_t expected);
/* "RLP# a b c d value": five fields. */
WIRELEX_API bool ParseSetModuleLoadProfile(const char* reply, int32_t expected);
/* "RSP# a b c value": four fields. */
WIRELEX_API bool ParseSetStationLoadProfile(const char* reply, int32_t expected);

#ifdef __cplusplus
}
#endif

#endif /* WIRELEX_H */
