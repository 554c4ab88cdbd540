#include "platform/locale.h"

#include <gtest/gtest.h>
#include <time.h>

#include <atomic>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

namespace platform {
namespace {

LocaleFormat English() {
  LocaleFormat format;
  format.DecimalSeparator = u".";
  format.ThousandSeparator = u",";
  format.LongTimeFormat = "%H:%M:%S";
  format.ShortDateFormat = "%d/%m/%Y";
  return format;
}

LocaleFormat Spanish() {
  LocaleFormat format = English();
  format.DecimalSeparator = u",";
  format.ThousandSeparator = u".";
  return format;
}

class LocaleTest : public ::testing::Test {
 protected:
  void TearDown() override { ResetLocale(); }
};

TEST_F(LocaleTest, FormatNumber2InTwoLocales) {
  struct Case {
    double value;
    std::u16string english, spanish;
  };
  const std::vector<Case> cases = {
      {0, u"0.00", u"0,00"},
      {0.5, u"0.50", u"0,50"},
      {-0.98, u"-0.98", u"-0,98"},
      {-0.001, u"0.00", u"0,00"},  // no "-0.00"
      {1.005, u"1.00", u"1,00"},   // 1.005 is 1.00499999... in binary
      {2.675, u"2.67", u"2,67"},
      {1.999, u"2.00", u"2,00"},
      {999.994, u"999.99", u"999,99"},
      {999.995, u"1,000.00", u"1.000,00"},  // 999.995000000000004547...
      {1000, u"1,000.00", u"1.000,00"},
      {1234.5, u"1,234.50", u"1.234,50"},
      {5120, u"5,120.00", u"5.120,00"},
      {-5120, u"-5,120.00", u"-5.120,00"},
      {123456.789, u"123,456.79", u"123.456,79"},
      {1234567.891, u"1,234,567.89", u"1.234.567,89"},
      {-1234567.891, u"-1,234,567.89", u"-1.234.567,89"},
      {1e12, u"1,000,000,000,000.00", u"1.000.000.000.000,00"},
  };
  SetLocaleForTests(English());
  for (const Case& c : cases) EXPECT_EQ(FormatNumber2(c.value), c.english) << c.value;
  SetLocaleForTests(Spanish());
  for (const Case& c : cases) EXPECT_EQ(FormatNumber2(c.value), c.spanish) << c.value;
}

TEST_F(LocaleTest, SeparatorsOfSeveralCharacters) {
  LocaleFormat format = English();
  format.ThousandSeparator = u"\u202F";  // narrow no-break space, as fr_FR has
  SetLocaleForTests(format);
  EXPECT_EQ(FormatNumber2(5120), u"5\u202F120.00");
}

TEST_F(LocaleTest, FormatsFixedDays) {
  SetLocaleForTests(English());
  struct Case {
    double value;
    std::u16string date, time;
  };
  const std::vector<Case> cases = {
      {42588, u"06/08/2016", u"00:00:00"},
      {42588.5, u"06/08/2016", u"12:00:00"},
      {42588.75, u"06/08/2016", u"18:00:00"},
      {42588 + (13 * 3600 + 14 * 60 + 15) / 86400.0, u"06/08/2016", u"13:14:15"},
      {42588.999999999, u"07/08/2016", u"00:00:00"},  // rounds to the next day
      {0, u"30/12/1899", u"00:00:00"},
      {1, u"31/12/1899", u"00:00:00"},
      {2, u"01/01/1900", u"00:00:00"},
      {25569, u"01/01/1970", u"00:00:00"},
      {36526, u"01/01/2000", u"00:00:00"},
      {36585, u"29/02/2000", u"00:00:00"},
      {73051, u"01/01/2100", u"00:00:00"},
      {-1.25, u"29/12/1899", u"06:00:00"},  // Delphi: the fraction counts forward
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatShortDate(c.value), c.date) << c.value;
    EXPECT_EQ(FormatLongTime(c.value), c.time) << c.value;
  }
  LocaleFormat other = English();
  other.ShortDateFormat = "%Y-%m-%d (%j %u)";  // numbers only: names depend on the machine
  other.LongTimeFormat = "%I:%M";
  SetLocaleForTests(other);
  EXPECT_EQ(FormatShortDate(42588), u"2016-08-06 (219 6)");  // a Saturday
  EXPECT_EQ(FormatLongTime(42588.75), u"06:00");
}

// Days since 1899-12-30 in local time, from the same clock as Now().
double DiasLocales(const struct timespec& t) {
  struct tm local;
  localtime_r(&t.tv_sec, &local);
  return 25569.0 + (static_cast<double>(t.tv_sec + local.tm_gmtoff) + t.tv_nsec / 1e9) / 86400.0;
}

TEST_F(LocaleTest, NowIsLocalTime) {
  // The wall clock may be stepped by a time sync while the test reads it: a reading that a step
  // spoilt is taken again.
  bool entre = false;
  double now = 0;
  for (int intento = 0; intento < 3 && !entre; ++intento) {
    struct timespec antes, despues;
    clock_gettime(CLOCK_REALTIME, &antes);
    now = Now();
    clock_gettime(CLOCK_REALTIME, &despues);
    constexpr double kRedondeo = 1e-9;  // days: the sums' rounding, far below a millisecond
    entre = now >= DiasLocales(antes) - kRedondeo && now <= DiasLocales(despues) + kRedondeo;
  }
  EXPECT_TRUE(entre) << now;
}

TEST_F(LocaleTest, LoadsTheCLocale) {
  LocaleFormat format;
  format.DecimalSeparator = u"?";
  ASSERT_TRUE(LoadLocale("C", &format));
  EXPECT_EQ(format.DecimalSeparator, u".");
  EXPECT_EQ(format.ThousandSeparator, u",");  // C has none; we group with ","
  EXPECT_EQ(format.LongTimeFormat, "%H:%M:%S");
  EXPECT_EQ(format.ShortDateFormat, "%d/%m/%Y");
  ASSERT_TRUE(LoadLocale("POSIX", &format));
  EXPECT_EQ(format.DecimalSeparator, u".");
  EXPECT_FALSE(LoadLocale("xx_NOWHERE.UTF-8", &format));
  EXPECT_FALSE(LoadLocale(nullptr, &format));
}

TEST_F(LocaleTest, LoadsASpanishLocaleWhereInstalled) {
  LocaleFormat format;
  if (!LoadLocale("es_ES.UTF-8", &format)) GTEST_SKIP() << "es_ES.UTF-8 is not installed";
  EXPECT_EQ(format.DecimalSeparator, u",");
  EXPECT_EQ(format.ThousandSeparator, u".");
  EXPECT_EQ(format.ShortDateFormat, "%d/%m/%y");
}

TEST_F(LocaleTest, ResetGivesTheEnvironmentsLocaleBack) {
  const LocaleFormat environment = CurrentLocale();
  EXPECT_FALSE(environment.DecimalSeparator.empty());
  EXPECT_FALSE(environment.LongTimeFormat.empty());
  SetLocaleForTests(Spanish());
  EXPECT_EQ(CurrentLocale().DecimalSeparator, u",");
  ResetLocale();
  EXPECT_EQ(CurrentLocale().DecimalSeparator, environment.DecimalSeparator);
  EXPECT_EQ(CurrentLocale().ShortDateFormat, environment.ShortDateFormat);
}

TEST_F(LocaleTest, ReadersSeeWholeFormatsWhileTestsSwapThem) {
  std::atomic<bool> stop{false};
  std::thread reader([&] {
    while (!stop.load()) {
      const std::u16string text = FormatNumber2(5120);
      EXPECT_TRUE(text == u"5,120.00" || text == u"5.120,00") << ToUtf8(text);
    }
  });
  for (int i = 0; i < 500; ++i) SetLocaleForTests(i % 2 ? English() : Spanish());
  stop = true;
  reader.join();
}

TEST(TextTest, Utf8RoundTripsAndReplacesInvalidInput) {
  EXPECT_EQ(ToUtf8(u"caf\u00E9 \u20AC \U0001F600"), "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80");
  EXPECT_EQ(FromUtf8("caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"), u"caf\u00E9 \u20AC \U0001F600");
  EXPECT_EQ(FromUtf8("a\xFFz"), u"a\uFFFDz");
  EXPECT_EQ(FromUtf8("\xC0\xAF"), u"\uFFFD\uFFFD");
  EXPECT_EQ(FromUtf8("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");
  EXPECT_EQ(ToUtf8(std::u16string{u'a', char16_t(0xD800), u'b'}), "a\xEF\xBF\xBD" "b");
  EXPECT_EQ(ToUtf8(std::u16string(1, char16_t(0xDCFF))), "\xEF\xBF\xBD");
  EXPECT_EQ(ToUtf8(u""), "");
  EXPECT_EQ(FromUtf8(""), u"");
}

}  // namespace
}  // namespace platform
