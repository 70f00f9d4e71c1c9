// Transactions recorded as the host sees them: the item, the record handed in, the request line
// the driver must build, the reply bytes received, and what the driver must make of them. The
// table runs in order on one freshly loaded driver (the level modifier carries over), on Linux
// through the loader and on Windows through LoadLibrary, so both platforms are held to the same
// behaviour. Plain data, without the standard library.
#pragma once

namespace zephlor::replay {

// What the records hold before each transaction; a field still holding it was not touched.
constexpr float kUntouchedValue = 0.5f;
constexpr unsigned char kUntouchedStatus = 0x77;
constexpr int kUntouchedCount = -7;
constexpr int kUntouchedParseCode = -9;

struct RecordedTransaction {
  const char* name;
  unsigned char kind, addr1, addr2, addr3, addr4;
  unsigned char direction;  // 0 read, 1 write
  unsigned char valueType;  // 64: `u16` is written into the value's first two bytes
  float value;              // the record's value on a write
  unsigned short u16;
  const char* request;  // the line Set_xxx must build, "" for none
  const char* reply;    // the bytes received (sent to Check_xxx and, if it accepts, Get_xxx)
  int check;            // Check_xxx's result; only Get_xxx is called when there is no request
  int parseCode;        // after Get_xxx
  int recordCount;
  unsigned char status;  // of the first record (all five for a firmware read)
  float values[5];       // of the records after a read; a write leaves the value as it was
};

constexpr float kU = kUntouchedValue;
constexpr unsigned char kS = kUntouchedStatus;
constexpr int kC = kUntouchedCount;
constexpr int kP = kUntouchedParseCode;

// One transaction to two lines: the item and record handed in, then the lines and the outcome.
// clang-format off
constexpr RecordedTransaction kRecordedTransactions[] = {
    // Reads of every readable kind.
    {"read firmware", 0, 7, 9, 9, 9, 0, 0, 0, 0,
     "VGV# 7\r\n", "RGV# 7 VER 3.2 12/25/4\r\n", 0, 2, 5, 0, {3, 2, 25, 12, 4}},
    {"read led", 1, 1, 2, 3, 4, 0, 0, 0, 0,
     "VLS# 1 2 3\r\n", "RLS# 1 2 3 1\r\n", 0, 2, 1, 0, {1, kU, kU, kU, kU}},
    {"read module level", 2, 1, 2, 3, 4, 0, 0, 0, 0,
     "VGB# 1 2 3 4\r\n", "RGB# 1 2 3 4 80\r\n", 0, 2, 1, 0, {80, kU, kU, kU, kU}},
    {"read station level", 3, 1, 2, 3, 0, 0, 0, 0, 0,
     "VGC# 1 2 3\r\n", "RGC# 1 2 3 75\r\n", 0, 2, 1, 0, {75, kU, kU, kU, kU}},
    {"read contactor level", 4, 4, 0, 0, 0, 0, 0, 0, 0,
     "VGL# 4\r\n", "RGL# 4 100\r\n", 0, 2, 1, 0, {100, kU, kU, kU, kU}},
    {"read thermostat", 5, 1, 2, 3, 0, 0, 0, 0, 0,
     "VGH# 1 2 3\r\n", "RGH# 1 2 3 -40\r\n", 0, 2, 1, 0, {-40, kU, kU, kU, kU}},
    {"read switch", 6, 1, 2, 3, 0, 0, 0, 0, 0,
     "VGS# 1 2 3\r\n", "RGS# 1 2 3 0\r\n", 0, 2, 1, 0, {0, kU, kU, kU, kU}},
    {"read modifier before any write", 9, 0, 0, 0, 0, 0, 0, 0, 0,
     "", "", -1, kP, kC, 0, {0, kU, kU, kU, kU}},
    {"read module profile builds nothing", 7, 1, 2, 3, 4, 0, 0, 0, 0,
     "", "", -1, kP, kC, kS, {kU, kU, kU, kU, kU}},
    {"read kind 200 builds nothing", 200, 1, 2, 3, 4, 0, 0, 0, 0,
     "", "", -1, kP, kC, kS, {kU, kU, kU, kU, kU}},

    // Replies that do not fit: refused by the frame check, or by the parser.
    {"read nothing received", 3, 1, 2, 3, 0, 0, 0, 0, 0,
     "VGC# 1 2 3\r\n", "", 9, kP, kC, kS, {kU, kU, kU, kU, kU}},
    {"read too short", 3, 1, 2, 3, 0, 0, 0, 0, 0,
     "VGC# 1 2 3\r\n", "RGC#", 4, kP, kC, kS, {kU, kU, kU, kU, kU}},
    {"read wrong frame", 3, 1, 2, 3, 0, 0, 0, 0, 0,
     "VGC# 1 2 3\r\n", "XGC# 1 2 3 75\r\n", 10, kP, kC, kS, {kU, kU, kU, kU, kU}},
    {"read another command's reply", 3, 1, 2, 3, 0, 0, 0, 0, 0,
     "VGC# 1 2 3\r\n", "RGS# 1 2 3 75\r\n", 0, 99, kC, kS, {kU, kU, kU, kU, kU}},
    {"read a field short", 3, 1, 2, 3, 0, 0, 0, 0, 0,
     "VGC# 1 2 3\r\n", "RGC# 1 2 3\r\n", 0, 99, kC, kS, {kU, kU, kU, kU, kU}},
    {"read a value beyond 32 bits", 3, 1, 2, 3, 0, 0, 0, 0, 0,
     "VGC# 1 2 3\r\n", "RGC# 1 2 3 99999999999\r\n", 0, 99, kC, kS, {kU, kU, kU, kU, kU}},
    {"read firmware with a malformed date", 0, 1, 0, 0, 0, 0, 0, 0, 0,
     "VGV# 1\r\n", "RGV# 1 VER 3.2 12-25-4\r\n", 0, 99, kC, kS, {kU, kU, kU, kU, kU}},
    {"read binary noise", 6, 1, 2, 3, 0, 0, 0, 0, 0,
     "VGS# 1 2 3\r\n", "R\x01\x02#\xff\xfe\r\n", 0, 99, kC, kS, {kU, kU, kU, kU, kU}},

    // Writes of every writable kind, confirmed and not.
    {"write led", 1, 1, 2, 3, 0, 1, 0, 1.0f, 0,
     "VLD# 1 2 3 1\r\n", "RLD# 1 2 3 1\r\n", 0, kP, kC, 0, {1, kU, kU, kU, kU}},
    {"write led 300 goes out as 44", 1, 1, 2, 3, 0, 1, 0, 300.0f, 0,
     "VLD# 1 2 3 44\r\n", "RLD# 1 2 3 44\r\n", 0, kP, kC, 0, {300, kU, kU, kU, kU}},
    {"write module level", 2, 1, 2, 3, 4, 1, 0, 50.0f, 0,
     "VLB# 1 2 3 4 50\r\n", "RLB# 1 2 3 4 50\r\n", 0, kP, kC, 0, {50, kU, kU, kU, kU}},
    {"write station level truncated", 3, 1, 2, 3, 0, 1, 0, 75.6f, 0,
     "VLC# 1 2 3 75\r\n", "RLC# 1 2 3 75\r\n", 0, kP, kC, 0, {75.6f, kU, kU, kU, kU}},
    {"write station level echoed wrong", 3, 1, 2, 3, 0, 1, 0, 75.6f, 0,
     "VLC# 1 2 3 75\r\n", "RLC# 1 2 3 74\r\n", 0, kP, kC, 1, {75.6f, kU, kU, kU, kU}},
    {"write station level answered by a query reply", 3, 1, 2, 3, 0, 1, 0, 75.0f, 0,
     "VLC# 1 2 3 75\r\n", "RGC# 1 2 3 75\r\n", 0, kP, kC, 1, {75, kU, kU, kU, kU}},
    {"write contactor level", 4, 4, 0, 0, 0, 1, 0, 100.0f, 0,
     "VLO# 4 100\r\n", "RLO# 4 100\r\n", 0, kP, kC, 0, {100, kU, kU, kU, kU}},
    {"write thermostat negative", 5, 1, 2, 3, 0, 1, 0, -2.7f, 0,
     "VSH# 1 2 3 -2\r\n", "RSH# 1 2 3 -2\r\n", 0, kP, kC, 0, {-2.7f, kU, kU, kU, kU}},
    {"write thermostat as 16-bit integer", 5, 1, 2, 3, 0, 1, 64, 0, 300,
     "VSH# 1 2 3 300\r\n", "RSH# 1 2 3 300\r\n", 0, kP, kC, 0, {-1, kU, kU, kU, kU}},
    {"write switch", 6, 1, 2, 3, 0, 1, 0, 1.0f, 0,
     "VSW# 1 2 3 1\r\n", "RSW# 1 2 3 1\r\n", 0, kP, kC, 0, {1, kU, kU, kU, kU}},
    {"write module profile", 7, 1, 2, 3, 4, 1, 0, 3.0f, 0,
     "VLP# 1 2 3 4 3\r\n", "RLP# 1 2 3 4 3\r\n", 0, kP, kC, 0, {3, kU, kU, kU, kU}},
    {"write station profile", 8, 1, 2, 3, 0, 1, 0, 2.0f, 0,
     "VSP# 1 2 3 2\r\n", "RSP# 1 2 3 2\r\n", 0, kP, kC, 0, {2, kU, kU, kU, kU}},
    {"write a value beyond 64 bits sends 0", 1, 1, 2, 3, 0, 1, 0, 1e30f, 0,
     "VLD# 1 2 3 0\r\n", "RLD# 1 2 3 0\r\n", 0, kP, kC, 0, {1e30f, kU, kU, kU, kU}},

    // The level modifier: stored in the driver, carried by the load level lines while not 0.
    {"write modifier 7", 9, 0, 0, 0, 0, 1, 0, 7.9f, 0,
     "", "", -1, kP, kC, 0, {7.9f, kU, kU, kU, kU}},
    {"read modifier", 9, 0, 0, 0, 0, 0, 0, 0, 0,
     "", "", -1, kP, kC, 0, {7, kU, kU, kU, kU}},
    {"write station level with modifier", 3, 1, 2, 3, 0, 1, 0, 75.0f, 0,
     "VLC# 1 2 3 75 7\r\n", "RLC# 1 2 3 75\r\n", 0, kP, kC, 0, {75, kU, kU, kU, kU}},
    {"write contactor level with modifier", 4, 4, 0, 0, 0, 1, 0, 100.0f, 0,
     "VLO# 4 100 7\r\n", "RLO# 4 100\r\n", 0, kP, kC, 0, {100, kU, kU, kU, kU}},
    {"write led without modifier", 1, 1, 2, 3, 0, 1, 0, 1.0f, 0,
     "VLD# 1 2 3 1\r\n", "RLD# 1 2 3 1\r\n", 0, kP, kC, 0, {1, kU, kU, kU, kU}},
    {"write modifier 0", 9, 0, 0, 0, 0, 1, 0, 0.0f, 0,
     "", "", -1, kP, kC, 0, {0, kU, kU, kU, kU}},
    {"write module level short form again", 2, 1, 2, 3, 4, 1, 0, 60.0f, 0,
     "VLB# 1 2 3 4 60\r\n", "RLB# 1 2 3 4 60\r\n", 0, kP, kC, 0, {60, kU, kU, kU, kU}},

    // Kinds without a set command: nothing is built and the write is never confirmed.
    {"write firmware", 0, 1, 0, 0, 0, 1, 0, 44.0f, 0,
     "", "", -1, kP, kC, 1, {44, kU, kU, kU, kU}},
    {"write kind 10", 10, 1, 2, 3, 4, 1, 0, 44.0f, 0,
     "", "", -1, kP, kC, 1, {44, kU, kU, kU, kU}},
};
// clang-format on

}  // namespace zephlor::replay
