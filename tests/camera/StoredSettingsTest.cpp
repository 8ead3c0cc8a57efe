// The camera object and the settings store on simulated ROZE9701 cameras: what a first
// initialisation stores, what a later one loads and applies, the settings travelling between
// processes and between cameras, and the size presets of Velcor_SetCaptureWindow.
#include <gtest/gtest.h>
#include <velcor/VelcorErrors.h>
#include <velcor/VelcorSdk.h>
#include <velcor/VelcorSim.h>

#include <cstdio>
#include <string>
#include <vector>

#include "settings/SettingsStore.h"
#include "sim/SimPeerRun.h"
#include "sim/SimTestSupport.h"
#include "support/StoredTree.h"

namespace velcor {
namespace {

using platform::RegistryKey;
using platform::RegistryTree;
using settings::kProductKey;

const std::string kCamera00 = std::string(kProductKey) + "\\Camera_00";

// The test program keeps the store in a folder of its own, emptied before each test.
class StoredSettings : public testing::SimTest {
  protected:
    void TearDown() override {
        if (handle_ != 0) Velcor_Release(handle_);
        testing::SimTest::TearDown();
    }
    void Attach(int count = 1) {
        for (int i = 1; i <= count; ++i)
            ASSERT_GT(VelcorSim_AttachCamera(0x32C0, ("STO000" + std::to_string(i)).c_str()), 0);
    }
    void Initialize() {
        handle_ = Velcor_Initialize(nullptr);
        ASSERT_NE(handle_, 0);
    }
    void Release() {
        Velcor_Release(handle_);
        handle_ = 0;
    }
    int Get(int id) {
        int ok = 0;
        const int value = Velcor_GetFilterValue(handle_, id, &ok);
        EXPECT_EQ(ok, 1) << "filter " << id;
        return value;
    }
    void Set(int id, int value) { ASSERT_EQ(Velcor_SetFilterValue(handle_, id, value), 1); }
    RegistryTree Tree() const { return test::StoredTree(store_); }
    void Put(const std::string& path, const std::vector<std::pair<std::string, int>>& values) {
        test::PutDwords(store_, path, values);
    }
    void PutPreset(int number, const settings::WindowEntry& e) {
        Put(std::string(kProductKey) + "\\Size_0" + std::to_string(number), {{"TH", e.totalWidth},
                                                                             {"TV", e.totalHeight},
                                                                             {"EH", e.width},
                                                                             {"EV", e.height},
                                                                             {"EHS", e.xStart},
                                                                             {"EVS", e.yStart},
                                                                             {"Buf", e.buffer}});
    }
    settings::WindowEntry Window() {
        settings::WindowEntry w;
        Velcor_GetCaptureWindowEx(handle_, &w.totalWidth, &w.xStart, &w.width, &w.totalHeight,
                                  &w.yStart, &w.height);
        w.buffer = 4;
        return w;
    }

    settings::SettingsStore store_;
    int handle_ = 0;
};

TEST_F(StoredSettings, FirstInitialisationStoresTheDefaultsOfTheCamera) {
    Attach();
    Initialize();
    const RegistryTree tree = Tree();
    const RegistryKey* camera = tree.OpenKey(kCamera00);
    ASSERT_NE(camera, nullptr);
    EXPECT_EQ(camera->QueryDword("Color"), 1u);  // the ROZE9701 is monochrome with 16 bits
    EXPECT_EQ(camera->QueryDword("Size"), 0u);
    EXPECT_EQ(camera->QueryDword("WaitTime"), 1u);
    const RegistryKey* entry = tree.OpenKey(kCamera00 + "\\Size_00");
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->QueryDword("TH"), 1280u);
    EXPECT_EQ(entry->QueryDword("EV"), 1024u);
    EXPECT_EQ(entry->QueryDword("Buf"), 4u);
    // The stored colour mode, 16 bits, is the object's from now on.
    EXPECT_EQ(Velcor_GetColorMode(handle_), 16);

    // Nothing stored: the sensor's defaults and neutral filters, gray offsets included.
    EXPECT_EQ(Get(VELCOR_FILTER_GAMMA), 100);
    EXPECT_EQ(Get(VELCOR_FILTER_BAYER_MODE), 3);
    EXPECT_EQ(Get(VELCOR_FILTER_BAYER_GAIN_RED), 100);
    EXPECT_EQ(Get(VELCOR_FILTER_GRAY_GAIN_G1), 128);
    EXPECT_EQ(Get(VELCOR_FILTER_GRAY_OFFSET_R), 0);
    EXPECT_EQ(Get(VELCOR_FILTER_GRAY_OFFSET_B), 0);
    EXPECT_EQ(Velcor_GetLastError(handle_), 0);

    // Release stores the analog, filter and gray keys.
    Release();
    const RegistryTree after = Tree();
    EXPECT_NE(after.OpenKey(kCamera00 + "\\Gain"), nullptr);
    EXPECT_NE(after.OpenKey(kCamera00 + "\\Filter"), nullptr);
    EXPECT_NE(after.OpenKey(kCamera00 + "\\Gray"), nullptr);
}

TEST_F(StoredSettings, WithoutACameraNothingIsStoredAtRelease) {
    Initialize();
    Release();
    EXPECT_EQ(Tree().OpenKey(kCamera00 + "\\Gain"), nullptr);
}

TEST_F(StoredSettings, StoredValuesLoadAndReachTheCamera) {
    Put(kCamera00, {{"Size", 1}, {"Color", 2}, {"SubSample", 0}, {"WaitTime", 30}, {"Clock", 0}});
    Put(kCamera00 + "\\Size_00", {{"TH", 1280},
                                  {"TV", 1024},
                                  {"EH", 1280},
                                  {"EV", 1024},
                                  {"EHS", 0},
                                  {"EVS", 0},
                                  {"Buf", 4}});
    Put(kCamera00 + "\\Size_01", {{"TH", 1280},
                                  {"TV", 1024},
                                  {"EH", 640},
                                  {"EV", 480},
                                  {"EHS", 64},
                                  {"EVS", 32},
                                  {"Buf", 4}});
    // "ColorG1" and the rest missing: they load the sensor's defaults.
    Put(kCamera00 + "\\Gain", {{"Global", 20}, {"H_Mirror", 1}});
    Put(kCamera00 + "\\Filter", {{"Gamma", 150}});
    Put(kCamera00 + "\\Gray", {{"Mode", 1}, {"OffsetR1", 128}});
    Attach();
    Initialize();
    EXPECT_EQ(Velcor_GetColorMode(handle_), 16);  // 24 bits on the monochrome camera: 16
    EXPECT_EQ(Velcor_GetWaitTime(handle_), 30);
    EXPECT_EQ(Window(), (settings::WindowEntry{1280, 1024, 640, 480, 64, 32, 4}));
    EXPECT_EQ(Get(VELCOR_FILTER_GLOBAL_GAIN), 20);  // the engine's value
    EXPECT_EQ(Velcor_GetMirrorH(handle_), 1);
    EXPECT_EQ(Get(VELCOR_FILTER_GAMMA), 150);
    EXPECT_EQ(Get(VELCOR_FILTER_BAYER_MODE), 3);
    EXPECT_EQ(Get(VELCOR_FILTER_GRAY_MODE), 1);
    EXPECT_EQ(Get(VELCOR_FILTER_GRAY_OFFSET_R), 128);  // stored values load as they are
    EXPECT_EQ(Get(VELCOR_FILTER_GRAY_OFFSET_G1), 0);
}

TEST_F(StoredSettings, StoredValuesOutOfRangeLoadTheDefaults) {
    // What Velcor_SetFilterValue would refuse never reaches the frame conversion.
    Put(kCamera00 + "\\Filter",
        {{"BayerMode", 9}, {"Gamma", 500}, {"Sharpness", 31}, {"Brightness", -40}});
    Put(kCamera00 + "\\Gray", {{"Mode", 7}, {"OffsetR1", 1000}, {"GainG2", -1}, {"GainB1", 90}});
    Put(kCamera00 + "\\Gain", {{"H_Mirror", 5}, {"AutoIris", 9}});
    Attach();
    Initialize();
    EXPECT_EQ(Get(VELCOR_FILTER_BAYER_MODE), 3);
    EXPECT_EQ(Get(VELCOR_FILTER_GAMMA), 100);
    EXPECT_EQ(Get(VELCOR_FILTER_SHARPNESS), 0);
    EXPECT_EQ(Get(VELCOR_FILTER_BRIGHTNESS), -40);
    EXPECT_EQ(Get(VELCOR_FILTER_GRAY_MODE), 0);
    EXPECT_EQ(Get(VELCOR_FILTER_GRAY_OFFSET_R), 0);
    EXPECT_EQ(Get(VELCOR_FILTER_GRAY_GAIN_G2), 128);
    EXPECT_EQ(Get(VELCOR_FILTER_GRAY_GAIN_B), 90);
    EXPECT_EQ(Velcor_GetMirrorH(handle_), 1);
    int ok = 0;
    EXPECT_EQ(Velcor_GetAutoIris(handle_, &ok), 0);
}

TEST_F(StoredSettings, ValuesSurviveReleaseAndAnotherProcess) {
    // The peer process opens its own camera, finds the defaults, sets a gain and stores it.
    const testing::PeerRun first = testing::RunPeer({"--attach", "STO0001", "--gain", "33"});
    ASSERT_EQ(first.status, 0) << first.output;

    Attach();
    Initialize();
    EXPECT_EQ(Get(VELCOR_FILTER_GLOBAL_GAIN), 33);
    Set(VELCOR_FILTER_GLOBAL_GAIN, 41);
    Set(VELCOR_FILTER_BRIGHTNESS, -12);
    Release();

    // A new object in this process, and the peer again.
    Initialize();
    EXPECT_EQ(Get(VELCOR_FILTER_GLOBAL_GAIN), 41);
    EXPECT_EQ(Get(VELCOR_FILTER_BRIGHTNESS), -12);
    Release();
    const testing::PeerRun second = testing::RunPeer({"--attach", "STO0001"});
    ASSERT_EQ(second.status, 0) << second.output;
    EXPECT_NE(second.output.find("gain 41\n"), std::string::npos) << second.output;
}

TEST_F(StoredSettings, EachCameraKeepsItsOwnSettings) {
    Attach(2);
    Initialize();
    ASSERT_EQ(Velcor_SetDeviceNumber(handle_, 0), 1);
    const int defaultGain = Get(VELCOR_FILTER_GLOBAL_GAIN);
    Set(VELCOR_FILTER_GLOBAL_GAIN, defaultGain + 5);
    Set(VELCOR_FILTER_GAMMA, 60);

    // Selecting camera 1 stores camera 0's settings and loads camera 1's (none yet).
    ASSERT_EQ(Velcor_SetDeviceNumber(handle_, 1), 1);
    EXPECT_EQ(Get(VELCOR_FILTER_GLOBAL_GAIN), defaultGain);
    EXPECT_EQ(Get(VELCOR_FILTER_GAMMA), 100);
    Set(VELCOR_FILTER_GAMMA, 170);

    ASSERT_EQ(Velcor_SetDeviceNumber(handle_, 0), 1);
    EXPECT_EQ(Get(VELCOR_FILTER_GLOBAL_GAIN), defaultGain + 5);
    EXPECT_EQ(Get(VELCOR_FILTER_GAMMA), 60);
    ASSERT_EQ(Velcor_SetDeviceNumber(handle_, 1), 1);
    EXPECT_EQ(Get(VELCOR_FILTER_GAMMA), 170);
}

TEST_F(StoredSettings, ADamagedStoreIsSurvived) {
    ASSERT_TRUE(store_.Registry().Update([](RegistryTree&) { return true; }));
    {
        FILE* file = std::fopen(store_.Registry().FilePath().c_str(), "wb");
        ASSERT_NE(file, nullptr);
        std::fputs("\x01\x02 not a registry \xff\n[HKEY", file);
        std::fclose(file);
    }
    Attach();
    Initialize();
    EXPECT_EQ(Velcor_GetLastError(handle_), 0);
    EXPECT_EQ(Get(VELCOR_FILTER_GAMMA), 100);
    // A new tree with the first run's defaults took the damaged file's place.
    EXPECT_NE(Tree().OpenKey(kCamera00 + "\\Size_00"), nullptr);
}

TEST_F(StoredSettings, CaptureWindowByPresetFindsTheWindowSize) {
    Attach();
    Initialize();
    // No preset at all: error 4.
    EXPECT_EQ(Velcor_SetCaptureWindow(handle_, 1280, 480), 0);
    EXPECT_EQ(Velcor_GetLastError(handle_), VELCOR_ERR_WINDOW);

    // The ROZE9701 windows rows: presets of whole rows.
    const settings::WindowEntry rows{1280, 1024, 1280, 480, 0, 272, 4};
    PutPreset(0, settings::WindowEntry{});
    PutPreset(1, rows);
    PutPreset(2, settings::WindowEntry{1280, 1024, 1280, 200, 0, 900, 4});  // past the sensor
    ASSERT_EQ(Velcor_SetCaptureWindow(handle_, 1280, 480), 1);
    EXPECT_EQ(Window(), rows);
    EXPECT_EQ(Velcor_GetLastError(handle_), 0);

    // A preset outside the sensor fails with error 7; the whole sensor takes its place.
    EXPECT_EQ(Velcor_SetCaptureWindow(handle_, 1280, 200), 0);
    EXPECT_EQ(Velcor_GetLastError(handle_), VELCOR_ERR_WINDOW_RANGE);
    EXPECT_EQ(Window(), settings::WindowEntry{});

    EXPECT_EQ(Velcor_SetCaptureWindow(handle_, 320, 240), 0);
    EXPECT_EQ(Velcor_GetLastError(handle_), VELCOR_ERR_WINDOW);

    // The found window is the one a snapshot delivers.
    ASSERT_EQ(Velcor_SetCaptureWindow(handle_, 1280, 480), 1);
    std::vector<uint8_t> image(1280 * 480 * 2);  // the stored colour mode: 16 bits
    EXPECT_EQ(Velcor_SnapShot(handle_, image.data(), static_cast<int>(image.size()), 1), 1)
        << "error " << Velcor_GetLastError(handle_);
    EXPECT_EQ(Velcor_Height(handle_), 480);
}

}  // namespace
}  // namespace velcor
