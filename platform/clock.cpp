// The calendar arithmetic both builds share: fixed-form texts to seconds
// since 1970 and back, with the proleptic Gregorian calendar, so that no C
// library's time-zone state takes part.
#include "platform/clock.h"

#include <cstdio>

#include "platform/text.h"

namespace quillary {
namespace {

// Days from 1970-01-01 to the date (negative before it).
int64_t days_from_civil(int64_t year, int64_t month, int64_t day) {
  year -= month <= 2;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t year_of_era = year - era * 400;
  const int64_t day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + day_of_era - 719468;
}

struct civil_date {
  int64_t year, month, day;
};

civil_date civil_from_days(int64_t days) {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const int64_t day_of_era = days - era * 146097;
  const int64_t year_of_era = (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  const int64_t day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const int64_t shifted_month = (5 * day_of_year + 2) / 153;
  const int64_t day = day_of_year - (153 * shifted_month + 2) / 5 + 1;
  const int64_t month = shifted_month + (shifted_month < 10 ? 3 : -9);
  return {year_of_era + era * 400 + (month <= 2), month, day};
}

int days_in_month(int64_t year, int64_t month) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : days[month - 1];
}

// The decimal number of `count` digits at `at`; false where one is no digit.
bool digits(std::u16string_view text, size_t at, size_t count, int64_t& value) {
  if (at + count > text.size()) return false;
  value = 0;
  for (size_t i = at; i < at + count; ++i) {
    if (text[i] < u'0' || text[i] > u'9') return false;
    value = value * 10 + (text[i] - u'0');
  }
  return true;
}

// Seconds of a date and time whose fields are each in range.
bool seconds_of(int64_t year, int64_t month, int64_t day, int64_t hour, int64_t minute, int64_t second,
                int64_t& seconds) {
  if (month < 1 || month > 12 || day < 1 || day > days_in_month(year, month) || hour > 23 || minute > 59 ||
      second > 59) {
    return false;
  }
  seconds = ((days_from_civil(year, month, day) * 24 + hour) * 60 + minute) * 60 + second;
  return true;
}

}  // namespace

bool seconds_of_wmi_datetime(std::u16string_view text, int64_t& seconds) {
  // 14 digits, a dot, 6 digits of microseconds, the offset's sign and 3 digits.
  if (text.size() != 25 || text[14] != u'.' || (text[21] != u'+' && text[21] != u'-')) return false;
  int64_t year, month, day, hour, minute, second, micro, offset;
  if (!digits(text, 0, 4, year) || !digits(text, 4, 2, month) || !digits(text, 6, 2, day) ||
      !digits(text, 8, 2, hour) || !digits(text, 10, 2, minute) || !digits(text, 12, 2, second) ||
      !digits(text, 15, 6, micro) || !digits(text, 22, 3, offset)) {
    return false;
  }
  int64_t local = 0;
  if (!seconds_of(year, month, day, hour, minute, second, local)) return false;
  // The fields are a time `offset` minutes ahead of UTC (behind for '-').
  seconds = local - (text[21] == u'-' ? -offset : offset) * 60;
  return true;
}

std::u16string utc_time_text(int64_t seconds) {
  const int64_t days = seconds >= 0 ? seconds / 86400 : -((-seconds + 86399) / 86400);
  const int64_t in_day = seconds - days * 86400;
  const civil_date date = civil_from_days(days);
  char text[120];
  std::snprintf(text, sizeof text, "%04lld-%02lld-%02lldT%02lld:%02lld:%02lldZ", static_cast<long long>(date.year),
                static_cast<long long>(date.month), static_cast<long long>(date.day),
                static_cast<long long>(in_day / 3600), static_cast<long long>(in_day / 60 % 60),
                static_cast<long long>(in_day % 60));
  return ascii_to_utf16(text);
}

bool seconds_of_utc_time_text(std::u16string_view text, int64_t& seconds) {
  if (text.size() != 20 || text[4] != u'-' || text[7] != u'-' || text[10] != u'T' || text[13] != u':' ||
      text[16] != u':' || text[19] != u'Z') {
    return false;
  }
  int64_t year, month, day, hour, minute, second;
  return digits(text, 0, 4, year) && digits(text, 5, 2, month) && digits(text, 8, 2, day) &&
         digits(text, 11, 2, hour) && digits(text, 14, 2, minute) && digits(text, 17, 2, second) &&
         seconds_of(year, month, day, hour, minute, second, seconds);
}

}  // namespace quillary
