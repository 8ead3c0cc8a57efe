#include "dialogs/DialogHost.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "dialogs/ImageDialog.h"
#include "platform/SystemLanguage.h"

namespace velcor::dialogs {
namespace {

class DialogHost : public ::testing::Test {
  protected:
    void SetUp() override {
        if (const char* v = std::getenv(kDialogModuleVariable)) saved_ = v;
    }
    void TearDown() override {
        if (saved_) {
            ::setenv(kDialogModuleVariable, saved_->c_str(), 1);
        } else {
            ::unsetenv(kDialogModuleVariable);
        }
        SetDialogRunnerForTesting(nullptr);
    }
    std::optional<std::string> saved_;
};

TEST_F(DialogHost, ModuleBesideTheLibraryThenByName) {
    ::unsetenv(kDialogModuleVariable);
    const std::vector<std::string> candidates = DialogModuleCandidates();
    ASSERT_EQ(candidates.size(), 2u);
    // Beside the file that holds the library's code (here the test program).
    EXPECT_EQ(std::filesystem::path(candidates[0]).filename(), kDialogModuleName);
    EXPECT_TRUE(
        std::filesystem::equivalent(std::filesystem::path(candidates[0]).parent_path(),
                                    std::filesystem::read_symlink("/proc/self/exe").parent_path()));
    EXPECT_EQ(candidates[1], kDialogModuleName);
}

TEST_F(DialogHost, VariableNamesTheModule) {
    ::setenv(kDialogModuleVariable, "/opt/view/other.so", 1);
    EXPECT_EQ(DialogModuleCandidates(), std::vector<std::string>{"/opt/view/other.so"});
}

// A model with no port behind it is enough here: nothing runs its events.
class NoCamera : public ImagePort {
    ImageValues Read() override { return {}; }
    void Write(const ImageValues&) override {}
    void BalanceOnce(bool) override {}
};

TEST_F(DialogHost, NoModuleShowsNoDialog) {
    ::setenv(kDialogModuleVariable, "/nonexistent/libVelcorSdk_TX40_gtk.so", 1);
    NoCamera port;
    ImageDialog dialog(port, ImageDialogEnables::ForColourMode(8),
                       TextsFor(platform::kLangEnglishUs));
    EXPECT_EQ(RunDialog(dialog, nullptr), 0);
    EXPECT_FALSE(dialog.Ended());

    // The test runner stands in for the view and answers for it.
    SetDialogRunnerForTesting([](DialogModel& model) {
        model.Click(kIdOk);
        return model.Result();
    });
    EXPECT_EQ(RunDialog(dialog, nullptr), kDialogOk);
    EXPECT_TRUE(dialog.Ended());
}

}  // namespace
}  // namespace velcor::dialogs
