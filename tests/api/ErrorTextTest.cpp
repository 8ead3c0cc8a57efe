#include <gtest/gtest.h>

#include <velcor/VelcorErrors.h>
#include <velcor/VelcorSdk.h>

#include <set>
#include <string>

#include "camera/Velcor.h"

namespace velcor {
namespace {

// The codes the camera object records are the ones applications read in the public header.
static_assert(kErrSuccessNotice == VELCOR_ERR_NONE);
static_assert(kErrNoCamera == VELCOR_ERR_NO_CAMERA);
static_assert(kErrNotPresent == VELCOR_ERR_NOT_PRESENT);
static_assert(kErrThread == VELCOR_ERR_THREAD);
static_assert(kErrWindow == VELCOR_ERR_WINDOW);
static_assert(kErrMemory == VELCOR_ERR_MEMORY);
static_assert(kErrDevice == VELCOR_ERR_DEVICE);
static_assert(kErrWindowRange == VELCOR_ERR_WINDOW_RANGE);
static_assert(kErrAcquisition == VELCOR_ERR_ACQUISITION);
static_assert(kErrArgument == VELCOR_ERR_ARGUMENT);
static_assert(kErrUnsupported == VELCOR_ERR_UNSUPPORTED);
static_assert(kErrConversion == VELCOR_ERR_CONVERSION);
static_assert(kErrStopped == VELCOR_ERR_STOPPED);
static_assert(kErrMaskFile == VELCOR_ERR_MASK_FILE);

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
