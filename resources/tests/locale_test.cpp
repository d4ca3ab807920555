// Which library a user's locale selects, and where the locale is read from.
#include <gtest/gtest.h>
#include <stdlib.h>

#include "vx/res/resource_library.h"

namespace vx::res {
namespace {

TEST(ResourceLocale, OnlyThreeLocalesLeaveEnglish) {
  const struct {
    const char* locale;
    const char* file;
  } cases[] = {
      {"es_ES", "libVEXResESN.so"},       {"es_ES.UTF-8", "libVEXResESN.so"}, {"es_ES@euro", "libVEXResESN.so"},
      {"fr_FR.UTF-8", "libVEXResFRA.so"}, {"fr_FR@euro", "libVEXResFRA.so"}, {"pt_BR", "libVEXResPTB.so"},
      {"pt_BR.UTF-8", "libVEXResPTB.so"}, {"fr_CA.UTF-8", "libVEXResENU.so"}, {"es_MX", "libVEXResENU.so"},
      {"pt_PT.UTF-8", "libVEXResENU.so"}, {"en_US.UTF-8", "libVEXResENU.so"}, {"C", "libVEXResENU.so"},
      {"POSIX", "libVEXResENU.so"},       {"", "libVEXResENU.so"},            {"es", "libVEXResENU.so"},
      {"es_ESX", "libVEXResENU.so"},      {"fr_FRA.UTF-8", "libVEXResENU.so"},
  };
  for (const auto& c : cases) EXPECT_EQ(resourceFileForLocale(c.locale), c.file) << '"' << c.locale << '"';
}

TEST(ResourceLocale, UserLocaleTakesTheFirstSetVariable) {
  setenv("LC_ALL", "fr_FR.UTF-8", 1);
  setenv("LC_MESSAGES", "es_ES.UTF-8", 1);
  setenv("LANG", "pt_BR.UTF-8", 1);
  EXPECT_EQ(userLocale(), "fr_FR.UTF-8");
  setenv("LC_ALL", "", 1);  // set but empty counts as unset
  EXPECT_EQ(userLocale(), "es_ES.UTF-8");
  unsetenv("LC_MESSAGES");
  EXPECT_EQ(userLocale(), "pt_BR.UTF-8");
  unsetenv("LANG");
  EXPECT_EQ(userLocale(), "");
}

TEST(ResourceLocale, LoadForUserFallsBackToEnglish) {
  unsetenv("LC_ALL");
  unsetenv("LC_MESSAGES");
  setenv("LANG", "pt_BR.UTF-8", 1);
  EXPECT_EQ(loadForUser().language(), "PTB");
  setenv("LANG", "fr_CA.UTF-8", 1);
  EXPECT_EQ(loadForUser().language(), "ENU");
  unsetenv("LANG");
  EXPECT_EQ(loadForUser().language(), "ENU");
}

}  // namespace
}  // namespace vx::res
