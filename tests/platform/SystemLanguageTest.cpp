#include "platform/SystemLanguage.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace velcor::platform {
namespace {

// Sets the three locale variables for one test and puts back what the process had.
class LocaleVariables : public ::testing::Test {
  protected:
    void SetUp() override {
        for (auto& [name, value] : saved_) {
            if (const char* v = std::getenv(name)) value = v;
        }
    }
    void TearDown() override {
        for (auto& [name, value] : saved_)
            Set(name, value ? value->c_str() : nullptr);
    }
    static void Set(const char* name, const char* value) {
        if (value == nullptr) {
            ::unsetenv(name);
        } else {
            ::setenv(name, value, 1);
        }
    }
    static void Locale(const char* all, const char* messages, const char* lang) {
        Set("LC_ALL", all);
        Set("LC_MESSAGES", messages);
        Set("LANG", lang);
    }

    std::pair<const char*, std::optional<std::string>> saved_[3] = {
        {"LC_ALL", std::nullopt}, {"LC_MESSAGES", std::nullopt}, {"LANG", std::nullopt}};
};

TEST_F(LocaleVariables, JapaneseLanguageGivesJapanese) {
    Locale(nullptr, nullptr, "ja_JP.UTF-8");
    EXPECT_EQ(SystemDefaultLangId(), kLangJapanese);
    Locale(nullptr, nullptr, "ja");
    EXPECT_EQ(SystemDefaultLangId(), kLangJapanese);
    Locale(nullptr, nullptr, "ja@cjknarrow");
    EXPECT_EQ(SystemDefaultLangId(), kLangJapanese);
}

TEST_F(LocaleVariables, FirstNonEmptyVariableDecides) {
    Locale("en_US.UTF-8", "ja_JP.UTF-8", "ja_JP.UTF-8");
    EXPECT_EQ(SystemDefaultLangId(), kLangEnglishUs);
    Locale("", "ja_JP.UTF-8", "en_GB.UTF-8");
    EXPECT_EQ(SystemDefaultLangId(), kLangJapanese);
    Locale("", "", "ja_JP.eucJP");
    EXPECT_EQ(SystemDefaultLangId(), kLangJapanese);
}

TEST_F(LocaleVariables, AnythingElseIsEnglish) {
    Locale(nullptr, nullptr, nullptr);
    EXPECT_EQ(SystemDefaultLangId(), kLangEnglishUs);
    Locale(nullptr, nullptr, "C");
    EXPECT_EQ(SystemDefaultLangId(), kLangEnglishUs);
    // A language whose name only starts like Japanese.
    Locale(nullptr, nullptr, "jam_JM");
    EXPECT_EQ(SystemDefaultLangId(), kLangEnglishUs);
}

}  // namespace
}  // namespace velcor::platform
