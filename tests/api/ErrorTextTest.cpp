#include <gtest/gtest.h>

#include <velcor/VelcorErrors.h>
#include <velcor/VelcorSdk.h>

#include <set>
#include <string>

namespace velcor {
namespace {

TEST(ErrorText, EveryRecordedCodeHasItsOwnMeaning) {
    const std::string generic = VelcorErrorText(10);
    std::set<std::string> texts;
    for (int code : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 12, 13, 14}) {
        const std::string text = VelcorErrorText(code);
        EXPECT_FALSE(text.empty()) << "code " << code;
        EXPECT_NE(text, generic) << "code " << code;
        texts.insert(text);
    }
    EXPECT_EQ(texts.size(), 14u) << "no two codes share a meaning";
    EXPECT_STREQ(VelcorErrorText(VELCOR_ERR_ARGUMENT), "invalid argument");
    EXPECT_STREQ(VelcorErrorText(VELCOR_ERR_NOT_PRESENT), "camera not present");
}

TEST(ErrorText, CodesTheLibraryNeverProducesGetTheGenericText) {
    EXPECT_STREQ(VelcorErrorText(10), "unknown error");
    EXPECT_STREQ(VelcorErrorText(-1), "unknown error");
    EXPECT_STREQ(VelcorErrorText(15), "unknown error");
    EXPECT_STREQ(VelcorErrorText(0x7FFFFFFF), "unknown error");
}

}  // namespace
}  // namespace velcor
