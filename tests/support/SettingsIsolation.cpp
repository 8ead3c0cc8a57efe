// Every test process keeps its stored camera settings in a folder of its own, never in the
// user's ~/.config: CTest runs the tests as parallel processes, and other programs on the
// machine use the library's store at the same time. XDG_CONFIG_HOME points at a fresh
// temporary folder before any test runs (the peer programs the tests start inherit it), the
// store is emptied before each test so that no test sees what another one saved, and the
// folder goes when the process ends.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

namespace {

std::string MakeFolder() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && tmp[0] == '/' ? tmp : "/tmp") +
                          "/velcor-tests-settings-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        // Without a folder of its own a test could write into the user's settings: stop.
        std::perror("velcor tests: cannot make a settings folder");
        std::abort();
    }
    return pattern;
}

class EmptyStoreBeforeEachTest : public ::testing::EmptyTestEventListener {
  public:
    explicit EmptyStoreBeforeEachTest(std::string folder) : folder_(std::move(folder)) {}
    void OnTestStart(const ::testing::TestInfo&) override {
        std::error_code ignored;
        std::filesystem::remove_all(folder_ + "/velcor", ignored);
    }

  private:
    std::string folder_;
};

class SettingsIsolation {
  public:
    SettingsIsolation() : folder_(MakeFolder()), owner_(::getpid()) {
        ::setenv("XDG_CONFIG_HOME", folder_.c_str(), 1);
        // The listener list owns what it is given.
        ::testing::UnitTest::GetInstance()->listeners().Append(
            std::make_unique<EmptyStoreBeforeEachTest>(folder_).release());
    }
    ~SettingsIsolation() {
        // Forked children leave the folder to the process that made it.
        if (::getpid() != owner_) return;
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    SettingsIsolation(const SettingsIsolation&) = delete;
    SettingsIsolation& operator=(const SettingsIsolation&) = delete;

  private:
    std::string folder_;
    pid_t owner_;
};

const SettingsIsolation isolation;

}  // namespace
