// The user's number and date formats, from the environment's locale (read once), and the
// formatting of numbers and TDateTime values with them.
//
// Decisions: a locale without a thousands separator (the C locale has none) groups digits with
// "," (or "." when its decimal separator is ","), as every Windows locale has one. The C and
// POSIX locales (also C.UTF-8) take the defaults of LocaleFormat for dates and times
// ("%H:%M:%S", "%d/%m/%Y") instead of the American "%m/%d/%y", and so does a user whose
// locale is not installed.
#include "platform/locale.h"

#include <langinfo.h>
#include <locale.h>
#include <time.h>

#include <atomic>
#include <charconv>
#include <cmath>
#include <cstring>
#include <list>
#include <mutex>
#include <vector>

namespace platform {
namespace {

constexpr double kUnixEpochDays = 25569.0;  // 1 January 1970 as a TDateTime

bool IsCLocaleName(const char* name) {
  return name == nullptr || std::strcmp(name, "C") == 0 || std::strcmp(name, "POSIX") == 0 ||
         std::strncmp(name, "C.", 2) == 0;
}

// Text of the locale in its own character set: UTF-8 is taken as it is, other sets byte by
// byte as Latin-1 (what the single-byte European sets hold in their separators).
std::u16string LocaleText(const char* text, locale_t locale) {
  const char* codeset = nl_langinfo_l(CODESET, locale);
  if (codeset && (std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "utf8") == 0))
    return FromUtf8(text);
  std::u16string out;
  for (const char* p = text; *p; ++p) out.push_back(static_cast<unsigned char>(*p));
  return out;
}

LocaleFormat FormatOf(locale_t locale) {
  LocaleFormat format;
  const std::u16string decimal = LocaleText(nl_langinfo_l(RADIXCHAR, locale), locale);
  const std::u16string thousands = LocaleText(nl_langinfo_l(THOUSEP, locale), locale);
  if (!decimal.empty()) format.DecimalSeparator = decimal;
  if (!thousands.empty()) {
    format.ThousandSeparator = thousands;
  } else {
    format.ThousandSeparator = format.DecimalSeparator == u"," ? u"." : u",";
  }
  if (!IsCLocaleName(nl_langinfo_l(NL_LOCALE_NAME(LC_TIME), locale))) {
    const char* time_format = nl_langinfo_l(T_FMT, locale);
    const char* date_format = nl_langinfo_l(D_FMT, locale);
    if (time_format && *time_format) format.LongTimeFormat = time_format;
    if (date_format && *date_format) format.ShortDateFormat = date_format;
  }
  return format;
}

// The environment's locale for strftime's names (months, AM/PM); the C locale when it is not
// available. Never freed: it lives as long as the program.
locale_t TimeNamesLocale() {
  static const locale_t locale = [] {
    locale_t l = newlocale(LC_ALL_MASK, "", static_cast<locale_t>(0));
    return l ? l : newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  }();
  return locale;
}

const LocaleFormat* EnvironmentFormat() {
  static const LocaleFormat* const format = [] {
    locale_t locale = newlocale(LC_ALL_MASK, "", static_cast<locale_t>(0));
    if (!locale) return new LocaleFormat();
    auto* result = new LocaleFormat(FormatOf(locale));
    freelocale(locale);
    return result;
  }();
  return format;
}

// Every format a test installed stays alive, so that a reference from CurrentLocale never
// dangles; `current` points at the one in use (nullptr = the environment's).
std::mutex installed_mutex;
std::list<LocaleFormat> installed;  // guarded by installed_mutex
std::atomic<const LocaleFormat*> current{nullptr};

// Days since 30 Dec 1899 and the time of day of a TDateTime, as broken-down time. No time zone
// is applied: the value already is local time. As in Delphi, the fraction of a negative value
// counts forward from the start of its day.
struct tm BrokenDown(double date_time) {
  long long days = static_cast<long long>(std::trunc(date_time));
  long long ms = std::llround(std::fabs(date_time - static_cast<double>(days)) * 86400000.0);
  if (ms >= 86400000) {
    ms -= 86400000;
    days += date_time < 0 ? -1 : 1;
  }
  // Civil date from days since 1970-01-01 (H. Hinnant's algorithm).
  long long z = days - static_cast<long long>(kUnixEpochDays) + 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const long long doe = z - era * 146097;
  const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const long long mp = (5 * doy + 2) / 153;
  const long long day = doy - (153 * mp + 2) / 5 + 1;
  const long long month = mp < 10 ? mp + 3 : mp - 9;
  const long long year = yoe + era * 400 + (month <= 2 ? 1 : 0);

  struct tm result {};
  result.tm_year = static_cast<int>(year - 1900);
  result.tm_mon = static_cast<int>(month - 1);
  result.tm_mday = static_cast<int>(day);
  const long long seconds = ms / 1000;
  result.tm_hour = static_cast<int>(seconds / 3600);
  result.tm_min = static_cast<int>(seconds / 60 % 60);
  result.tm_sec = static_cast<int>(seconds % 60);
  const long long unix_days = days - static_cast<long long>(kUnixEpochDays);
  result.tm_wday = static_cast<int>(((unix_days % 7) + 7 + 4) % 7);  // 1970-01-01 was a Thursday
  static const int kDaysBefore[] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  result.tm_yday = kDaysBefore[month - 1] + static_cast<int>(day) - 1 + (leap && month > 2);
  result.tm_isdst = -1;
  return result;
}

std::u16string Format(const std::string& format, double date_time) {
  if (format.empty()) return {};
  const struct tm broken = BrokenDown(date_time);
  std::vector<char> buffer(64);
  for (;;) {
    const std::size_t n =
        strftime_l(buffer.data(), buffer.size(), format.c_str(), &broken, TimeNamesLocale());
    if (n > 0) return FromUtf8(std::string(buffer.data(), n));
    if (buffer.size() >= 4096) return {};  // a format that writes nothing
    buffer.resize(buffer.size() * 4);
  }
}

}  // namespace

const LocaleFormat& CurrentLocale() {
  const LocaleFormat* format = current.load(std::memory_order_acquire);
  return format ? *format : *EnvironmentFormat();
}

void SetLocaleForTests(const LocaleFormat& format) {
  std::lock_guard lock(installed_mutex);
  installed.push_back(format);
  current.store(&installed.back(), std::memory_order_release);
}

void ResetLocale() { current.store(nullptr, std::memory_order_release); }

bool LoadLocale(const char* name, LocaleFormat* format) {
  if (!name) return false;
  locale_t locale = newlocale(LC_ALL_MASK, name, static_cast<locale_t>(0));
  if (!locale) return false;
  *format = FormatOf(locale);
  freelocale(locale);
  return true;
}

std::u16string FormatNumber2(double value) {
  if (!std::isfinite(value)) return std::isnan(value) ? u"NAN" : value < 0 ? u"-INF" : u"INF";
  // to_chars ignores the C library's locale, which the window toolkit may have changed.
  char text[400];
  const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 2);
  std::string digits(text, result.ptr);
  bool negative = false;
  if (!digits.empty() && digits[0] == '-') {
    negative = digits.find_first_not_of("-0.") != std::string::npos;  // no "-0.00"
    digits.erase(0, 1);
  }
  const std::size_t point = digits.find('.');
  const std::string whole = digits.substr(0, point);
  const std::string fraction = point == std::string::npos ? "" : digits.substr(point + 1);
  const LocaleFormat& format = CurrentLocale();
  std::u16string out;
  if (negative) out.push_back(u'-');
  for (std::size_t i = 0; i < whole.size(); ++i) {
    if (i > 0 && (whole.size() - i) % 3 == 0) out += format.ThousandSeparator;
    out.push_back(static_cast<char16_t>(whole[i]));
  }
  out += format.DecimalSeparator;
  for (char c : fraction) out.push_back(static_cast<char16_t>(c));
  return out;
}

double Now() {
  struct timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  struct tm local;
  localtime_r(&now.tv_sec, &local);
  const double local_seconds = static_cast<double>(now.tv_sec + local.tm_gmtoff) +
                               static_cast<double>(now.tv_nsec) / 1e9;
  return kUnixEpochDays + local_seconds / 86400.0;
}

std::u16string FormatLongTime(double date_time) {
  return Format(CurrentLocale().LongTimeFormat, date_time);
}

std::u16string FormatShortDate(double date_time) {
  return Format(CurrentLocale().ShortDateFormat, date_time);
}

}  // namespace platform
