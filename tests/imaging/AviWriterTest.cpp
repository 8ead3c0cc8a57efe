#include "imaging/AviWriter.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "support/AllocationCounter.h"
#include "support/AviFileReader.h"

namespace velcor {
namespace {

class AviWriterTest : public ::testing::Test {
  protected:
    void SetUp() override {
        path_ = ::testing::TempDir() + "avi-writer-" + std::to_string(getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".avi";
    }
    void TearDown() override { std::remove(path_.c_str()); }

    // A frame whose every byte tells its frame and place.
    static std::vector<uint8_t> Frame(size_t bytes, int number) {
        std::vector<uint8_t> frame(bytes);
        for (size_t i = 0; i < bytes; ++i)
            frame[i] = static_cast<uint8_t>(i * 7 + static_cast<size_t>(number) * 31);
        return frame;
    }

    std::string path_;
};

TEST_F(AviWriterTest, ThreeFramesOfVgaHaveTheExpectedLayout) {
    AviWriter writer;
    ASSERT_TRUE(writer.Open(path_.c_str(), 640, 480, 8, 3));
    ASSERT_EQ(writer.FrameBytes(), 921600u);
    std::vector<std::vector<uint8_t>> frames;
    for (int i = 0; i < 3; ++i) {
        frames.push_back(Frame(921600, i));
        ASSERT_EQ(writer.AddFrame(frames.back().data()), AviWriter::AddResult::kAdded);
    }
    ASSERT_TRUE(writer.Finish(3000));

    const test::AviFile avi = test::ReadAvi(path_);
    ASSERT_TRUE(avi.Valid()) << avi.problem;
    EXPECT_EQ(avi.bytes.size(), 2765112u);
    EXPECT_EQ(avi.riffSize, 2765104u);
    EXPECT_EQ(avi.movieListSize, 2764828u);
    EXPECT_EQ(avi.U32(224), 2764828u);
    ASSERT_EQ(avi.index.size(), 3u);
    const uint32_t offsets[] = {4, 921612, 1843220};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(avi.index[i].offset, offsets[i]);
        EXPECT_EQ(avi.index[i].flags, 0x10u);
        EXPECT_EQ(avi.index[i].size, 921600u);
        EXPECT_EQ(0, std::memcmp(&avi.bytes[avi.framePixels[i]], frames[i].data(), 921600));
    }
    EXPECT_EQ(avi.width, 640);
    EXPECT_EQ(avi.height, 480);
    EXPECT_EQ(avi.bitCount, 24);
    EXPECT_EQ(avi.totalFrames, 3u);
    EXPECT_EQ(avi.length, 3u);
    EXPECT_EQ(avi.maxBytesPerSecond, (921600u + 8) * 30);
    // Fixed fields at their places: flags, streams, suggested buffers, list sizes.
    EXPECT_EQ(avi.U32(16), 200u);
    EXPECT_EQ(avi.U32(44), 0x10010u);
    EXPECT_EQ(avi.U32(56), 1u);
    EXPECT_EQ(avi.U32(60), 921608u);
    EXPECT_EQ(avi.U32(92), 124u);
    EXPECT_EQ(avi.U32(144), 921608u);
    EXPECT_EQ(avi.U32(180), 40u);
}

TEST_F(AviWriterTest, FramesAllocateNothingWithinTheExpectedCount) {
    AviWriter writer;
    ASSERT_TRUE(writer.Open(path_.c_str(), 32, 16, 8, 20));
    const std::vector<uint8_t> frame = Frame(writer.FrameBytes(), 4);
    const uint64_t before = test::AllocationsOnThisThread();
    for (int i = 0; i < 20; ++i)
        ASSERT_EQ(writer.AddFrame(frame.data()), AviWriter::AddResult::kAdded);
    EXPECT_EQ(test::AllocationsOnThisThread(), before);
    ASSERT_TRUE(writer.Finish(2000));
    EXPECT_TRUE(test::ReadAvi(path_).Valid());
}

TEST_F(AviWriterTest, MeasuredRatePatchesTheFrameTime) {
    const std::vector<uint8_t> frame = Frame(16 * 8 * 3, 0);
    struct Case {
        int rate;
        uint32_t microseconds;
        uint32_t scale;
    };
    // 25.00 frames per second; 0 (no rate measured) keeps the nominal 30.
    for (const Case c : {Case{2500, 40000, 400000}, Case{0, 33333, 333333}}) {
        AviWriter writer;
        ASSERT_TRUE(writer.Open(path_.c_str(), 16, 8, 24));
        const test::AviFile unfinished = test::ReadAvi(path_);
        EXPECT_EQ(unfinished.U32(32), 33333u);
        EXPECT_EQ(unfinished.U32(128), 333333u);
        EXPECT_EQ(unfinished.U32(4), 0u) << "sizes are patched only at the end";
        ASSERT_EQ(writer.AddFrame(frame.data()), AviWriter::AddResult::kAdded);
        ASSERT_TRUE(writer.Finish(c.rate));
        const test::AviFile avi = test::ReadAvi(path_);
        ASSERT_TRUE(avi.Valid()) << avi.problem;
        EXPECT_EQ(avi.microsecondsPerFrame, c.microseconds) << c.rate;
        EXPECT_EQ(avi.scale, c.scale) << c.rate;
        EXPECT_EQ(avi.rate, 10000000u);
    }
}

TEST_F(AviWriterTest, UnopenablePathLeavesNothingOpen) {
    AviWriter writer;
    const std::string missing = ::testing::TempDir() + "no-such-dir/x.avi";
    EXPECT_FALSE(writer.Open(missing.c_str(), 640, 480, 8));
    EXPECT_FALSE(writer.IsOpen());
    EXPECT_EQ(writer.FrameCount(), 0);
    const std::vector<uint8_t> frame = Frame(640 * 480 * 3, 0);
    EXPECT_EQ(writer.AddFrame(frame.data()), AviWriter::AddResult::kWriteFailed);
    EXPECT_FALSE(writer.Finish(100));
    // A failed open after a good one forgets the first file's frames too.
    ASSERT_TRUE(writer.Open(path_.c_str(), 640, 480, 8));
    ASSERT_EQ(writer.AddFrame(frame.data()), AviWriter::AddResult::kAdded);
    EXPECT_FALSE(writer.Open(missing.c_str(), 640, 480, 8));
    EXPECT_FALSE(writer.IsOpen());
    EXPECT_EQ(writer.FrameCount(), 0);
}

TEST_F(AviWriterTest, RowsArePaddedToFourBytesForOddWidths) {
    AviWriter writer;
    ASSERT_TRUE(writer.Open(path_.c_str(), 5, 2, 24));
    EXPECT_EQ(writer.FrameBytes(), 32u);  // rows of 15 bytes padded to 16
    const std::vector<uint8_t> frame = Frame(32, 1);
    ASSERT_EQ(writer.AddFrame(frame.data()), AviWriter::AddResult::kAdded);
    ASSERT_TRUE(writer.Finish(100));
    const test::AviFile avi = test::ReadAvi(path_);
    ASSERT_TRUE(avi.Valid()) << avi.problem;
    EXPECT_EQ(avi.frameBytes, 32u);
}

TEST_F(AviWriterTest, SizeLimitStopsBeforeTheSizesWouldWrap) {
    AviWriter writer;
    ASSERT_TRUE(writer.Open(path_.c_str(), 16, 8, 24));
    const uint32_t chunk = writer.FrameBytes() + 8;
    // Room for exactly four frames with their index.
    writer.SetMaxFileBytesForTesting(232 + 4 * chunk + 8 + 4 * 16);
    const std::vector<uint8_t> frame = Frame(writer.FrameBytes(), 2);
    for (int i = 0; i < 4; ++i)
        ASSERT_EQ(writer.AddFrame(frame.data()), AviWriter::AddResult::kAdded) << i;
    EXPECT_EQ(writer.AddFrame(frame.data()), AviWriter::AddResult::kSizeLimit);
    EXPECT_EQ(writer.AddFrame(frame.data()), AviWriter::AddResult::kSizeLimit);
    ASSERT_TRUE(writer.Finish(3000));
    const test::AviFile avi = test::ReadAvi(path_);
    ASSERT_TRUE(avi.Valid()) << avi.problem;
    EXPECT_EQ(avi.index.size(), 4u);
    EXPECT_EQ(avi.bytes.size(), 232u + 4 * chunk + 8 + 4 * 16);

    // The real limit is the one of the 32-bit RIFF size.
    EXPECT_EQ(AviWriter::kMaxFileBytes, 0x100000007ull);
}

// A disk that fills up mid-recording: the file size limit of a child process stands in for
// it. The file keeps every whole frame and is finished; the frame that did not fit is gone.
TEST_F(AviWriterTest, FullDiskKeepsAValidFileOfTheWholeFrames) {
    constexpr int kWidth = 64, kHeight = 32;
    constexpr size_t kFrame = kWidth * kHeight * 3;
    struct Case {
        rlim_t limit;
        size_t framesKept;
    };
    const Case cases[] = {
        // The limit falls inside the fourth frame: three frames and their index fit.
        {232 + 3 * (kFrame + 8) + 100, 3},
        // Inside the fourth frame's chunk header, leaving no room for an index of three: the
        // third frame makes way for it.
        {232 + 3 * (kFrame + 8) + 4, 2},
    };
    for (const Case c : cases) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{c.limit, c.limit};
            if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(10);
            AviWriter writer;
            if (!writer.Open(path_.c_str(), kWidth, kHeight, 8)) _exit(11);
            const std::vector<uint8_t> frame = Frame(kFrame, 3);
            int added = 0;
            while (writer.AddFrame(frame.data()) == AviWriter::AddResult::kAdded)
                ++added;
            if (added != 3) _exit(12);
            if (writer.AddFrame(frame.data()) != AviWriter::AddResult::kWriteFailed) _exit(13);
            if (!writer.Finish(3000)) _exit(14);
            _exit(writer.FrameCount() == static_cast<int>(c.framesKept) ? 0 : 15);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0) << "limit " << c.limit;
        const test::AviFile avi = test::ReadAvi(path_);
        ASSERT_TRUE(avi.Valid()) << avi.problem << " (limit " << c.limit << ")";
        EXPECT_EQ(avi.index.size(), c.framesKept);
        EXPECT_LE(avi.bytes.size(), c.limit);
    }
}

}  // namespace
}  // namespace velcor
