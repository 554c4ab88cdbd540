// Numbers, dates and times written in the user's locale. Dates are day counts since
// 30 December 1899 in local time, with the time of day as the fraction.
#pragma once

#include <string>

namespace platform {

struct LocaleFormat {
  std::u16string DecimalSeparator = u".";
  std::u16string ThousandSeparator = u",";
  std::string LongTimeFormat = "%H:%M:%S";  // strftime form
  std::string ShortDateFormat = "%d/%m/%Y";  // strftime form
};

// The user's locale (LC_NUMERIC and LC_TIME of the environment), read once.
const LocaleFormat& CurrentLocale();
// Tests install a locale of their own; any thread reads a whole value.
void SetLocaleForTests(const LocaleFormat& format);
void ResetLocale();
// The format of a named locale ("es_ES.UTF-8"); false when the system does not have it.
bool LoadLocale(const char* name, LocaleFormat* format);

// Two decimals with digit grouping: 1234.5 -> "1,234.50".
std::u16string FormatNumber2(double value);
// The current local date-time.
double Now();
std::u16string FormatLongTime(double date_time);
std::u16string FormatShortDate(double date_time);

// UTF-16 <-> UTF-8 for texts (not names: see paths.h).
std::string ToUtf8(const std::u16string& text);
std::u16string FromUtf8(const std::string& text);

}  // namespace platform
