// The seven entry points the host looks up in the driver. Their names and parameter lists are
// fixed by the host: it finds them by their decorated names, so every type here, including the
// parameters the driver ignores, must stay exactly as it is.
#pragma once

#include "osterfell/host_records.h"

#if defined(_WIN32)
#if defined(OSTERFELL_BUILDING)
#define OSTERFELL_API __declspec(dllexport)
#else
#define OSTERFELL_API __declspec(dllimport)
#endif
#else
#define OSTERFELL_API __attribute__((visibility("default")))
#endif

// Writes the driver name "Zephlor" and its NUL (8 bytes) into `driverName`; sets `prepareCode`
// to 0 and returns 0.
OSTERFELL_API int Prepare_xxx(int, char* driverName, int& prepareCode, int&);

// Tells whether two items are addressed alike: 1 if so, 0 if not; for firmware items with equal
// first address, itemB's second address byte plus 1.
OSTERFELL_API int zCompare_xxx(int, IA& itemA, IA& itemB, int&, void*, void*);

// Builds the request line of one transaction into `requestBuffer`. `requestCode` is 100 when a
// line was built (its length in `requestLength`), else 0 and nothing is to be sent.
OSTERFELL_API void Set_xxx(IA& item, unsigned int& requestLength, unsigned int& requestCode, int&,
                           RSDATA* record, char* requestBuffer, void*);

// Returns 0; the driver has no unsolicited input.
OSTERFELL_API int zReadAny_xxx(IA&, unsigned int&, unsigned int&, char*);

// Judges whether the bytes received frame a reply line: 0 if so; 9 for none, 4 for too few,
// 10 for a wrong frame (then checkValueA and checkValueB are set to 0).
OSTERFELL_API int Check_xxx(IA&, unsigned int& receivedLength, unsigned int& checkValueA,
                            unsigned int& checkValueB, char* replyBuffer, void*, int);

// Parses the reply line in `replyBuffer` into `record` (reads) or judges the acknowledgement
// (writes). Returns 50.
OSTERFELL_API int Get_xxx(IA& item, unsigned int&, int& recordCount, RSDATA* record,
                          char* replyBuffer, int& parseCode, void*);

// Does nothing.
OSTERFELL_API void zzStub();
