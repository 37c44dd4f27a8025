#include "cookies/cookie_date.h"

#include <array>

#include "base/ascii.h"

namespace pakeno::transport {
namespace {

bool IsDelimiter(unsigned char c) {
  return c == 0x09 || (c >= 0x20 && c <= 0x2F) || (c >= 0x3B && c <= 0x40) || (c >= 0x5B && c <= 0x60) ||
         (c >= 0x7B && c <= 0x7E);
}
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A number of `least` to `most` digits at the start of `token`, taken off it.
std::optional<int> LeadingNumber(std::string_view& token, size_t least, size_t most) {
  size_t n = 0;
  int value = 0;
  while (n < token.size() && IsDigit(token[n])) {
    if (++n > most) return std::nullopt;
    value = value * 10 + (token[n - 1] - '0');
  }
  if (n < least) return std::nullopt;
  token.remove_prefix(n);
  return value;
}

bool ReadTime(std::string_view token, int& hour, int& minute, int& second) {
  const auto h = LeadingNumber(token, 1, 2);
  if (!h || !token.starts_with(':')) return false;
  token.remove_prefix(1);
  const auto m = LeadingNumber(token, 1, 2);
  if (!m || !token.starts_with(':')) return false;
  token.remove_prefix(1);
  const auto s = LeadingNumber(token, 1, 2);
  if (!s) return false;
  hour = *h, minute = *m, second = *s;
  return true;
}

int MonthOf(std::string_view token) {
  static constexpr std::array<std::string_view, 12> kMonths = {"jan", "feb", "mar", "apr", "may", "jun",
                                                               "jul", "aug", "sep", "oct", "nov", "dec"};
  for (size_t i = 0; i < kMonths.size(); ++i) {
    if (StartsWithIgnoringCase(token, kMonths[i])) return static_cast<int>(i) + 1;
  }
  return 0;
}

// Days from 1970-01-01 to the given civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t year, int month, int day) {
  year -= month <= 2;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t yearOfEra = year - era * 400;
  const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

}  // namespace

std::optional<int64_t> ParseCookieDate(std::string_view text) {
  bool haveTime = false, haveDay = false, haveMonth = false, haveYear = false;
  int hour = 0, minute = 0, second = 0, day = 0, month = 0, year = 0;
  while (!text.empty()) {
    while (!text.empty() && IsDelimiter(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
    size_t end = 0;
    while (end < text.size() && !IsDelimiter(static_cast<unsigned char>(text[end]))) ++end;
    const std::string_view token = text.substr(0, end);
    text.remove_prefix(end);
    if (token.empty()) continue;
    if (!haveTime && ReadTime(token, hour, minute, second)) {
      haveTime = true;
      continue;
    }
    std::string_view rest = token;
    if (!haveDay) {
      if (const auto d = LeadingNumber(rest, 1, 2)) {
        day = *d;
        haveDay = true;
        continue;
      }
    }
    if (!haveMonth && (month = MonthOf(token)) != 0) {
      haveMonth = true;
      continue;
    }
    rest = token;
    if (!haveYear) {
      if (const auto y = LeadingNumber(rest, 2, 4)) {
        year = *y;
        haveYear = true;
      }
    }
  }
  if (year >= 70 && year <= 99) year += 1900;
  if (year >= 0 && year <= 69) year += 2000;
  if (!haveTime || !haveDay || !haveMonth || !haveYear) return std::nullopt;
  if (day < 1 || day > 31 || year < 1601 || hour > 23 || minute > 59 || second > 59) return std::nullopt;
  // 31 February and its kind are no dates.
  static constexpr int kDaysIn[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  if (day > kDaysIn[month - 1] || (month == 2 && day == 29 && !leap)) return std::nullopt;
  return DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
}

}  // namespace pakeno::transport
