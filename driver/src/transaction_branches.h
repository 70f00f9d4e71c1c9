// The read and write branches of Set_xxx and Get_xxx. The entry points run the frame around
// them: Set_xxx has cleared the request length and code, Get_xxx returns 50 afterwards.
#pragma once

#include <stdint.h>

#include "osterfell/host_records.h"

namespace osterfell {

// Build the request line; return its length, or 0 when there is nothing to send.
int32_t buildReadRequest(const IA::Fields& item, RSDATA* record, char* requestBuffer);
int32_t buildWriteRequest(const IA::Fields& item, const RSDATA* record, char* requestBuffer);

void parseReadReply(const IA::Fields& item, int& recordCount, RSDATA* record,
                    const char* replyBuffer, int& parseCode);
void judgeWriteAcknowledgement(const IA::Fields& item, RSDATA* record, const char* replyBuffer);

}  // namespace osterfell
