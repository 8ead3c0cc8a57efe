#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/RegularFile.h"

namespace velcor::platform {
namespace {

namespace fs = std::filesystem;

constexpr size_t kLimit = size_t{1} << 20;

// A folder of its own under the temporary directory, removed with what it holds.
class RegularFile : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() /
                  ("velcor-regular-file-" + std::to_string(::getpid()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder_);
        ASSERT_TRUE(fs::create_directory(folder_));
    }
    void TearDown() override { fs::remove_all(folder_); }

    // A file of `size` bytes that occupies no disk: ftruncate leaves it a hole.
    std::string Sparse(const std::string& name, off_t size) {
        const std::string path = (folder_ / name).string();
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        EXPECT_GE(fd, 0);
        EXPECT_EQ(::ftruncate(fd, size), 0);
        ::close(fd);
        return path;
    }

    fs::path folder_;
};

TEST_F(RegularFile, ReadsAWholeFile) {
    const std::string path = (folder_ / "twenty").string();
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    const uint8_t content[20] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19};
    ASSERT_EQ(::write(fd, content, sizeof content), static_cast<ssize_t>(sizeof content));
    ::close(fd);
    std::vector<uint8_t> bytes;
    ASSERT_EQ(ReadRegularFile(path.c_str(), kLimit, bytes), ReadFileResult::Ok);
    EXPECT_EQ(bytes, std::vector<uint8_t>(content, content + sizeof content));
}

TEST_F(RegularFile, ReadsAnEmptyFile) {
    std::vector<uint8_t> bytes = {7};
    ASSERT_EQ(ReadRegularFile(Sparse("empty", 0).c_str(), kLimit, bytes), ReadFileResult::Ok);
    EXPECT_TRUE(bytes.empty());
}

TEST_F(RegularFile, ReadsAFileOfExactlyTheLimit) {
    std::vector<uint8_t> bytes;
    ASSERT_EQ(ReadRegularFile(Sparse("at-limit", kLimit).c_str(), kLimit, bytes),
              ReadFileResult::Ok);
    EXPECT_EQ(bytes.size(), kLimit);
    EXPECT_EQ(bytes.back(), 0);
}

TEST_F(RegularFile, RefusesAFileOneByteOverTheLimitAndKeepsTheBytes) {
    std::vector<uint8_t> bytes = {1, 2, 3};
    EXPECT_EQ(ReadRegularFile(Sparse("over-limit", kLimit + 1).c_str(), kLimit, bytes),
              ReadFileResult::TooLarge);
    EXPECT_EQ(bytes, (std::vector<uint8_t>{1, 2, 3}));
}

TEST_F(RegularFile, HeadReadsKeepTheFirstBytesOfALongerFileAndAllOfAShorterOne) {
    std::vector<uint8_t> bytes;
    ASSERT_EQ(ReadRegularFileHead(Sparse("long", 3 * kLimit).c_str(), kLimit, bytes),
              ReadFileResult::Ok);
    EXPECT_EQ(bytes.size(), kLimit);
    ASSERT_EQ(ReadRegularFileHead(Sparse("short", kLimit / 2).c_str(), kLimit, bytes),
              ReadFileResult::Ok);
    EXPECT_EQ(bytes.size(), kLimit / 2);
}

TEST_F(RegularFile, RefusesAHugeSparseFileAtOnce) {
    std::vector<uint8_t> bytes;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ReadRegularFile(Sparse("huge", off_t{1} << 30).c_str(), kLimit, bytes),
              ReadFileResult::TooLarge);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_TRUE(bytes.empty());
}

TEST_F(RegularFile, RefusesADirectory) {
    std::vector<uint8_t> bytes;
    EXPECT_EQ(ReadRegularFile(folder_.c_str(), kLimit, bytes), ReadFileResult::NotRegular);
}

TEST_F(RegularFile, RefusesAFifoWithoutAWriterPromptly) {
    const std::string path = (folder_ / "fifo").string();
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    std::vector<uint8_t> bytes;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ReadRegularFile(path.c_str(), kLimit, bytes), ReadFileResult::NotRegular);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

TEST_F(RegularFile, RefusesAnEndlessDevice) {
    std::vector<uint8_t> bytes;
    EXPECT_EQ(ReadRegularFile("/dev/zero", kLimit, bytes), ReadFileResult::NotRegular);
    EXPECT_TRUE(bytes.empty());
}

TEST_F(RegularFile, AnswersCannotOpenForMissingFilesAndNoPath) {
    std::vector<uint8_t> bytes;
    EXPECT_EQ(ReadRegularFile((folder_ / "missing").c_str(), kLimit, bytes),
              ReadFileResult::CannotOpen);
    EXPECT_EQ(ReadRegularFile(nullptr, kLimit, bytes), ReadFileResult::CannotOpen);
}

}  // namespace
}  // namespace velcor::platform
