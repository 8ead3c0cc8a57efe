// The Windows build keeps stored camera settings in the registry of the Wine prefix that the
// tests run in, which belongs to the build tree alone; the library's key is removed before
// each test so that no test sees what another one saved.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>

namespace {

class EmptyStoreBeforeEachTest : public ::testing::EmptyTestEventListener {
  public:
    void OnTestStart(const ::testing::TestInfo&) override {
        (void)::RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Moniva");
    }
};

struct SettingsIsolation {
    SettingsIsolation() {
        ::testing::UnitTest::GetInstance()->listeners().Append(
            std::make_unique<EmptyStoreBeforeEachTest>().release());
    }
};

const SettingsIsolation isolation;

}  // namespace
