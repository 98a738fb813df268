#pragma once
// The date-time double of the record files: days since 1899-12-30, the fraction
// being the time of day, in local time.

#include <ctime>
#include <string>

namespace klimavo::base {

struct LocalDateTime {
  int year = 1899, month = 12, day = 30, hour = 0, minute = 0, second = 0, millisecond = 0;
};

double NowAsDateTime();
double ToDateTime(const LocalDateTime& t);
LocalDateTime FromDateTime(double value);
LocalDateTime NowLocal();
/// "yy-mm-dd hh:nn" as the library list shows a change time.
std::string FormatShortDateTime(double value);
/// ISO 8601 local time "YYYY-MM-DDTHH:MM:SS" (with ".mmm" when not whole seconds).
std::string FormatIsoDateTime(double value);
/// Parses what FormatIsoDateTime writes (seconds and milliseconds optional).
bool ParseIsoDateTime(const std::string& text, double& value);

}  // namespace klimavo::base
