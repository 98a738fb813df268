#include "base/date_time.h"

#include <chrono>
#include <cmath>
#include <cstdio>

namespace klimavo::base {
namespace {

// Days from 1970-01-01 to a civil date (proleptic Gregorian).
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe) - 719468;
}

void CivilFromDays(long long z, int& y, int& m, int& d) {
  z += 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long yy = static_cast<long long>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yy + (m <= 2));
}

constexpr long long kDaysFrom1899To1970 = 25569;

}  // namespace

double ToDateTime(const LocalDateTime& t) {
  long long days = DaysFromCivil(t.year, static_cast<unsigned>(t.month), static_cast<unsigned>(t.day)) +
                   kDaysFrom1899To1970;
  double fraction = (t.hour * 3600.0 + t.minute * 60.0 + t.second + t.millisecond / 1000.0) / 86400.0;
  // Negative dates count the fraction away from zero, as the format defines.
  return days >= 0 ? static_cast<double>(days) + fraction : static_cast<double>(days) - fraction;
}

LocalDateTime FromDateTime(double value) {
  LocalDateTime t;
  if (!std::isfinite(value) || std::fabs(value) > 3e6) return t;
  double whole = std::trunc(value);
  double fraction = std::fabs(value - whole);
  long long ms = std::llround(fraction * 86400000.0);
  if (ms >= 86400000) ms = 86399999;
  CivilFromDays(static_cast<long long>(whole) - kDaysFrom1899To1970, t.year, t.month, t.day);
  t.hour = static_cast<int>(ms / 3600000);
  t.minute = static_cast<int>(ms / 60000 % 60);
  t.second = static_cast<int>(ms / 1000 % 60);
  t.millisecond = static_cast<int>(ms % 1000);
  return t;
}

LocalDateTime NowLocal() {
  auto now = std::chrono::system_clock::now();
  std::time_t tt = std::chrono::system_clock::to_time_t(now);
  std::tm tm{};
  localtime_r(&tt, &tm);
  LocalDateTime t;
  t.year = tm.tm_year + 1900;
  t.month = tm.tm_mon + 1;
  t.day = tm.tm_mday;
  t.hour = tm.tm_hour;
  t.minute = tm.tm_min;
  t.second = tm.tm_sec;
  t.millisecond = static_cast<int>(
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
  return t;
}

double NowAsDateTime() { return ToDateTime(NowLocal()); }

std::string FormatShortDateTime(double value) {
  LocalDateTime t = FromDateTime(value);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d-%02d-%02d %02d:%02d", ((t.year % 100) + 100) % 100, t.month, t.day,
                t.hour, t.minute);
  return buf;
}

std::string FormatIsoDateTime(double value) {
  LocalDateTime t = FromDateTime(value);
  char buf[48];
  if (t.millisecond != 0)
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", t.year, t.month, t.day, t.hour,
                  t.minute, t.second, t.millisecond);
  else
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
  return buf;
}

bool ParseIsoDateTime(const std::string& text, double& value) {
  LocalDateTime t;
  t.hour = t.minute = t.second = t.millisecond = 0;
  int consumed = 0;
  int n = std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d%n", &t.year, &t.month, &t.day, &t.hour, &t.minute,
                      &consumed);
  if (n != 5) return false;
  const char* rest = text.c_str() + consumed;
  if (*rest == ':') {
    int used = 0;
    if (std::sscanf(rest, ":%2d%n", &t.second, &used) != 1) return false;
    rest += used;
    if (*rest == '.') {
      if (std::sscanf(rest, ".%3d%n", &t.millisecond, &used) != 1) return false;
      rest += used;
    }
  }
  if (*rest != '\0') return false;
  if (t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31 || t.hour > 23 || t.minute > 59 || t.second > 59)
    return false;
  value = ToDateTime(t);
  return true;
}

}  // namespace klimavo::base
