#include "zephlor_text/timestamp.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <mutex>

namespace zephlor::text {

namespace {

// The proleptic Gregorian date of a day counted from 1970-01-01, by eras of 400 years: plain
// arithmetic, where gmtime's one static result would be shared by the gateway's line threads.
void civilDate(long long days, long long& year, unsigned& month, unsigned& day) {
  days += 719468;  // from 0000-03-01
  const long long era = (days >= 0 ? days : days - 146096) / 146097;
  const auto dayOfEra = static_cast<unsigned>(days - era * 146097);
  const unsigned yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const unsigned shiftedMonth = (5 * dayOfYear + 2) / 153;  // March is 0
  day = dayOfYear - (153 * shiftedMonth + 2) / 5 + 1;
  month = shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9;
  year = static_cast<long long>(yearOfEra) + era * 400 + (month <= 2 ? 1 : 0);
}

}  // namespace

std::string timestampNow() { return formatTimestamp(std::chrono::system_clock::now()); }

std::string formatTimestamp(std::chrono::system_clock::time_point time) {
  using namespace std::chrono;
  const long long millis = duration_cast<milliseconds>(time.time_since_epoch()).count();
  const long long msPerDay = 86400000;
  const long long days = (millis >= 0 ? millis : millis - msPerDay + 1) / msPerDay;
  const long long ofDay = millis - days * msPerDay;
  long long year = 0;
  unsigned month = 0;
  unsigned day = 0;
  civilDate(days, year, month, day);
  char text[48];
  std::snprintf(text, sizeof text, "%04lld-%02u-%02uT%02lld:%02lld:%02lld.%03lldZ", year, month,
                day, ofDay / 3600000, ofDay / 60000 % 60, ofDay / 1000 % 60, ofDay % 1000);
  return text;
}

std::string formatMilliseconds(std::chrono::microseconds duration) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f ms", static_cast<double>(duration.count()) / 1000.0);
  return text;
}

std::string formatLocalTimestamp(std::chrono::system_clock::time_point time) {
  using namespace std::chrono;
  const auto seconds = system_clock::to_time_t(time_point_cast<system_clock::duration>(time));
  const long long millis = duration_cast<milliseconds>(time.time_since_epoch()).count() % 1000;
  std::tm local{};
  {
    // localtime's one static result, taken under a lock: the time zone is the C library's.
    static std::mutex lock;
    const std::lock_guard<std::mutex> hold(lock);
    if (const std::tm* found = std::localtime(&seconds)) local = *found;
  }
  char text[48];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03lld", local.tm_year + 1900,
                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                millis < 0 ? millis + 1000 : millis);
  return text;
}

}  // namespace zephlor::text
