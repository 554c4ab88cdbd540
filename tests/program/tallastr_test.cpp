#include "app/TallaStr.h"

#include <gtest/gtest.h>

#include "platform/locale.h"

namespace {

struct Caso {
  std::int64_t value;
  const char16_t* english;
  const char16_t* spanish;
};

class TallaStrTest : public ::testing::Test {
 protected:
  void TearDown() override { platform::ResetLocale(); }
};

TEST_F(TallaStrTest, WritesTwoDecimalsAndTheUnitInTheUsersNumberFormat) {
  const Caso cases[] = {
      {0, u"0.00 Byte", u"0,00 Byte"},
      {999, u"999.00 Byte", u"999,00 Byte"},
      {1000, u"0.98 Kb", u"0,98 Kb"},
      {1023, u"1.00 Kb", u"1,00 Kb"},
      {1536, u"1.50 Kb", u"1,50 Kb"},
      {1048575, u"1.00 Mb", u"1,00 Mb"},
      {2097152, u"2.00 Mb", u"2,00 Mb"},
      {1LL << 40, u"1.00 Tb", u"1,00 Tb"},
      {5LL << 50, u"5,120.00 Tb", u"5.120,00 Tb"},
      {-5, u"-5.00 Byte", u"-5,00 Byte"},
      {-1000, u"-0.98 Kb", u"-0,98 Kb"},
      {-999, u"-0.98 Kb", u"-0,98 Kb"},
      {1610612736, u"1.50 Gb", u"1,50 Gb"},
  };
  platform::LocaleFormat english;
  english.DecimalSeparator = u".";
  english.ThousandSeparator = u",";
  platform::LocaleFormat spanish;
  spanish.DecimalSeparator = u",";
  spanish.ThousandSeparator = u".";
  for (const auto& c : cases) {
    platform::SetLocaleForTests(english);
    EXPECT_EQ(TallaStr(c.value), c.english) << c.value;
    platform::SetLocaleForTests(spanish);
    EXPECT_EQ(TallaStr(c.value), c.spanish) << c.value;
  }
}

}  // namespace
