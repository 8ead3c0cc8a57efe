// The settings store: the key tree a first run makes, the loads with their defaults and
// colour rules, the saves, the camera dialog's table and the size presets, and processes
// saving at once.
#include "settings/SettingsStore.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/Sanitizers.h"
#include "support/StoredTree.h"

namespace velcor::settings {
namespace {

using platform::RegistryKey;
using platform::RegistryTree;

constexpr SensorOutput kRoze9701{false, true, true};  // monochrome, 8 and 16 bits
constexpr SensorOutput kColourSensor{true, true, true};
const std::string kCamera00 = std::string(kProductKey) + "\\Camera_00";

// The tests' store is the default one: the test program points XDG_CONFIG_HOME at a folder of
// its own and empties it before each test.
class SettingsStoreTest : public ::testing::Test {
  protected:
    std::string FileText() const {
        std::ifstream in(store_.Registry().FilePath(), std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    RegistryTree Tree() const { return test::StoredTree(store_); }
    void Put(const std::string& path, const std::vector<std::pair<std::string, int>>& values) {
        test::PutDwords(store_, path, values);
    }
    void PutEntry(const std::string& parent, int number, const WindowEntry& e) {
        char name[16];
        std::snprintf(name, sizeof name, "Size_%02d", number);
        Put(parent + "\\" + name, {{"TH", e.totalWidth},
                                   {"TV", e.totalHeight},
                                   {"EH", e.width},
                                   {"EV", e.height},
                                   {"EHS", e.xStart},
                                   {"EVS", e.yStart},
                                   {"Buf", e.buffer}});
    }

    SettingsStore store_;
};

// ---- Window and output settings --------------------------------------------------------------

TEST_F(SettingsStoreTest, FirstRunCreatesTheDefaultTree) {
    WindowEntry window{640, 480, 320, 240, 8, 16, 2};
    const WindowEntry before = window;
    ASSERT_TRUE(store_.LoadWindowSettings(0, kRoze9701, window));
    EXPECT_EQ(window, before);  // the camera object keeps its own values
    EXPECT_EQ(FileText(),
              "Windows Registry Editor Version 5.00\n\n"
              "[HKEY_CURRENT_USER\\Software]\n\n"
              "[HKEY_CURRENT_USER\\Software\\Moniva]\n\n"
              "[HKEY_CURRENT_USER\\Software\\Moniva\\VelcorTX403T2Sdk]\n\n"
              "[HKEY_CURRENT_USER\\Software\\Moniva\\VelcorTX403T2Sdk\\Camera_00]\n"
              "\"Size\"=dword:00000000\n"
              "\"Color\"=dword:00000001\n"
              "\"SubSample\"=dword:00000000\n"
              "\"WaitTime\"=dword:00000001\n"
              "\"Clock\"=dword:00000000\n\n"
              "[HKEY_CURRENT_USER\\Software\\Moniva\\VelcorTX403T2Sdk\\Camera_00\\Size_00]\n"
              "\"TH\"=dword:00000500\n"
              "\"TV\"=dword:00000400\n"
              "\"EH\"=dword:00000500\n"
              "\"EV\"=dword:00000400\n"
              "\"EHS\"=dword:00000000\n"
              "\"EVS\"=dword:00000000\n"
              "\"Buf\"=dword:00000004\n\n");

    // The next run reads the selected entry.
    ASSERT_TRUE(store_.LoadWindowSettings(0, kRoze9701, window));
    EXPECT_EQ(window, WindowEntry{});
    // Once the product key exists, another camera's keys are not made here.
    EXPECT_FALSE(store_.LoadWindowSettings(1, kRoze9701, window));
    EXPECT_EQ(Tree().OpenKey(std::string(kProductKey) + "\\Camera_01"), nullptr);
}

TEST_F(SettingsStoreTest, FirstRunColourFollowsTheSensor) {
    struct Case {
        SensorOutput sensor;
        int colour;
    };
    const Case cases[] = {{kColourSensor, 2},
                          {{false, true, true}, 1},
                          {{false, true, false}, 0},
                          {{false, false, false}, 2}};
    for (int camera = 0; camera < 4; ++camera) {
        // Each first run needs a registry without the product key.
        ASSERT_TRUE(store_.Registry().Update([](RegistryTree& tree) {
            tree = RegistryTree();
            return true;
        }));
        WindowEntry window;
        ASSERT_TRUE(store_.LoadWindowSettings(camera, cases[camera].sensor, window));
        const RegistryTree tree = Tree();
        const RegistryKey* key =
            tree.OpenKey(std::string(kProductKey) + "\\" + SettingsStore::CameraKey(camera));
        ASSERT_NE(key, nullptr);
        EXPECT_EQ(key->QueryDword("Color"), static_cast<uint32_t>(cases[camera].colour));
    }
}

TEST_F(SettingsStoreTest, WindowSettingsReadTheSelectedEntry) {
    const WindowEntry second{1280, 1024, 640, 512, 320, 256, 8};
    Put(kCamera00, {{"Size", 1}});
    PutEntry(kCamera00, 0, WindowEntry{});
    PutEntry(kCamera00, 1, second);
    WindowEntry window;
    ASSERT_TRUE(store_.LoadWindowSettings(0, kRoze9701, window));
    EXPECT_EQ(window, second);

    // A selection without its entry leaves the window as it was.
    Put(kCamera00, {{"Size", 7}});
    window = WindowEntry{};
    EXPECT_FALSE(store_.LoadWindowSettings(0, kRoze9701, window));
    EXPECT_EQ(window, WindowEntry{});
}

TEST_F(SettingsStoreTest, OutputSettingsFitTheColourModeToTheSensor) {
    // Color 2 (24 bits) on the monochrome camera with 16-bit output loads as 1 (16 bits).
    Put(kCamera00, {{"Color", 2}, {"SubSample", 0}, {"WaitTime", 25}, {"Clock", 3}});
    OutputSettings output;
    ASSERT_TRUE(store_.LoadOutputSettings(0, kRoze9701, output));
    EXPECT_EQ(output, (OutputSettings{1, 0, 25, 3}));

    struct Case {
        int stored;
        SensorOutput sensor;
        int loaded;
    };
    const Case cases[] = {
        {0, {true, false, true}, 1},    // no 8 bits: 16 bits
        {3, {true, false, false}, 2},   // no 8 bits, no 16 bits: 24 bits
        {0, {false, false, false}, 0},  // 24 bits on monochrome without 16 bits: 8 bits
        {1, {true, true, false}, 2},    // no 16 bits on colour: 24 bits
        {1, {false, true, false}, 0},   // no 16 bits on monochrome: 8 bits
        {4, kColourSensor, 4},
        // Every colour depth on a monochrome sensor, not 24 bits alone.
        {3, kRoze9701, 1},
        {5, kRoze9701, 1},
        {4, {false, true, false}, 0},
    };
    for (const Case& c : cases) {
        Put(kCamera00, {{"Color", c.stored}});
        output = OutputSettings{};
        ASSERT_TRUE(store_.LoadOutputSettings(0, c.sensor, output));
        EXPECT_EQ(output.colour, c.loaded) << "stored " << c.stored;
    }
}

TEST_F(SettingsStoreTest, OutputSettingsKeepWhatIsMissingOrNoColourMode) {
    const OutputSettings mine{1, 0, 10, 5};
    OutputSettings output = mine;
    EXPECT_FALSE(store_.LoadOutputSettings(0, kRoze9701, output));
    EXPECT_EQ(output, mine);

    // A code past the six colour modes would index beyond them.
    Put(kCamera00, {{"Color", 6}, {"WaitTime", 40}});
    ASSERT_TRUE(store_.LoadOutputSettings(0, kRoze9701, output));
    EXPECT_EQ(output, (OutputSettings{1, 0, 40, 5}));
    Put(kCamera00, {{"Color", -1}});
    ASSERT_TRUE(store_.LoadOutputSettings(0, kRoze9701, output));
    EXPECT_EQ(output.colour, 1);
}

// ---- Analog, filter and gray settings -------------------------------------------------------

AnalogSettings SensorDefaults() {
    AnalogSettings d;
    d.globalGain = 2;
    d.colourGainGreen1 = d.colourGainRed = d.colourGainBlue = d.colourGainGreen2 = 16;
    d.exposure = 100;
    d.blackLevel = 64;
    d.exposureSeconds = 0.01;
    return d;
}

TEST_F(SettingsStoreTest, AbsentKeysLoadTheDefaults) {
    AnalogSettings analog;
    analog.globalGain = 99;
    EXPECT_FALSE(store_.LoadAnalogSettings(0, SensorDefaults(), analog));
    EXPECT_EQ(analog, SensorDefaults());

    FilterSettings filters{5, 5, 5, 5, 5, 1, 1, 1, 1, 1};
    EXPECT_FALSE(store_.LoadFilterSettings(0, filters));
    EXPECT_EQ(filters, (FilterSettings{0, 0, 0, 0, 0, 100, 100, 100, 100, 3}));

    // Gray gains at unity and offsets neutral: the gray mode adds the offsets to every sample.
    GraySettings gray{1, 1, 1, 1, 1, 9, 9, 9, 9};
    EXPECT_FALSE(store_.LoadGraySettings(0, gray));
    EXPECT_EQ(gray, (GraySettings{0, 128, 128, 128, 128, 0, 0, 0, 0}));
}

TEST_F(SettingsStoreTest, SavedSettingsLoadBackInTheirOrder) {
    AnalogSettings analog{40, 11, 12, 13, 14, 2500, 1, 0, 2, 1, 70, 0.25};
    FilterSettings filters{-10, 20, 30, 40, 50, 90, 110, 120, 180, 1};
    GraySettings gray{1, 100, 120, 140, 160, 128, 3, 2, 1};
    ASSERT_TRUE(store_.SaveAnalogSettings(3, analog));
    ASSERT_TRUE(store_.SaveFilterSettings(3, filters));
    ASSERT_TRUE(store_.SaveGraySettings(3, gray));

    AnalogSettings analogBack;
    FilterSettings filtersBack;
    GraySettings grayBack;
    ASSERT_TRUE(store_.LoadAnalogSettings(3, SensorDefaults(), analogBack));
    ASSERT_TRUE(store_.LoadFilterSettings(3, filtersBack));
    ASSERT_TRUE(store_.LoadGraySettings(3, grayBack));
    EXPECT_EQ(analogBack, analog);
    EXPECT_EQ(filtersBack, filters);
    EXPECT_EQ(grayBack, gray);  // a stored offset of 128 loads as it is

    const std::string text = FileText();
    EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Moniva\\VelcorTX403T2Sdk\\Camera_03\\Gain]\n"
                        "\"Global\"=dword:00000028\n\"ColorG1\"=dword:0000000b\n"
                        "\"ColorR\"=dword:0000000c\n\"ColorB\"=dword:0000000d\n"
                        "\"ColorG2\"=dword:0000000e\n\"Exposure\"=dword:000009c4\n"
                        "\"V_Mirror\"=dword:00000001\n\"H_Mirror\"=dword:00000000\n"
                        "\"AutoIris\"=dword:00000002\n\"GainMode\"=dword:00000001\n"
                        "\"BlackLevel\"=dword:00000046\n"
                        "\"ExposureEx\"=hex:00,00,00,00,00,00,d0,3f\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("\"Brightness\"=dword:fffffff6\n\"Contrast\"=dword:00000014\n"
                        "\"Hue\"=dword:0000001e\n\"Saturation\"=dword:00000028\n"
                        "\"Sharpness\"=dword:00000032\n\"R_Gain\"=dword:0000005a\n"
                        "\"G_Gain\"=dword:0000006e\n\"B_Gain\"=dword:00000078\n"
                        "\"Gamma\"=dword:000000b4\n\"BayerMode\"=dword:00000001\n"),
              std::string::npos);
    EXPECT_NE(text.find("\"Mode\"=dword:00000001\n\"GainR1\"=dword:00000064\n"
                        "\"GainG1\"=dword:00000078\n\"GainG2\"=dword:0000008c\n"
                        "\"GainB1\"=dword:000000a0\n\"OffsetR1\"=dword:00000080\n"
                        "\"OffsetG1\"=dword:00000003\n\"OffsetG2\"=dword:00000002\n"
                        "\"OffsetB1\"=dword:00000001\n"),
              std::string::npos);
}

TEST_F(SettingsStoreTest, AValueMissingFromAnExistingKeyLoadsItsDefault) {
    // "Global" is read first and "ColorG1" is missing: it must not take Global's value.
    Put(kCamera00 + "\\Gain", {{"Global", 40}, {"ColorR", 20}, {"Exposure", 300}});
    AnalogSettings analog;
    ASSERT_TRUE(store_.LoadAnalogSettings(0, SensorDefaults(), analog));
    AnalogSettings expected = SensorDefaults();
    expected.globalGain = 40;
    expected.colourGainRed = 20;
    expected.exposure = 300;
    EXPECT_EQ(analog, expected);

    Put(kCamera00 + "\\Filter", {{"Brightness", 7}, {"Gamma", 150}});
    FilterSettings filters;
    ASSERT_TRUE(store_.LoadFilterSettings(0, filters));
    EXPECT_EQ(filters, (FilterSettings{7, 0, 0, 0, 0, 100, 100, 100, 150, 3}));

    Put(kCamera00 + "\\Gray", {{"Mode", 1}, {"GainG1", 140}});
    GraySettings gray;
    ASSERT_TRUE(store_.LoadGraySettings(0, gray));
    EXPECT_EQ(gray, (GraySettings{1, 128, 140, 128, 128, 0, 0, 0, 0}));
}

TEST_F(SettingsStoreTest, AnExposureInSecondsThatIsNoTimeLoadsTheDefault) {
    const uint8_t nan[] = {0, 0, 0, 0, 0, 0, 0xF8, 0x7F};
    const uint8_t shortValue[] = {0, 0, 0, 0};
    for (const auto& [bytes, size] :
         {std::pair{nan, sizeof nan}, std::pair{shortValue, sizeof shortValue}}) {
        ASSERT_TRUE(store_.Registry().Update([&](RegistryTree& tree) {
            return tree.CreateKey(kCamera00 + "\\Gain")->SetBinary("ExposureEx", bytes, size);
        }));
        AnalogSettings analog;
        ASSERT_TRUE(store_.LoadAnalogSettings(0, SensorDefaults(), analog));
        EXPECT_EQ(analog.exposureSeconds, SensorDefaults().exposureSeconds);
    }
}

// ---- The camera dialog and the size presets --------------------------------------------------

TEST_F(SettingsStoreTest, DialogTableEndsAtTheFirstMissingEntry) {
    const WindowEntry a{1280, 1024, 1280, 1024, 0, 0, 4};
    const WindowEntry b{1280, 1024, 640, 480, 10, 20, 4};
    const WindowEntry d{1280, 1024, 320, 240, 0, 0, 2};
    Put(kCamera00, {{"Size", 1}, {"Color", 1}, {"SubSample", 0}, {"WaitTime", 5}, {"Clock", 2}});
    PutEntry(kCamera00, 0, a);
    PutEntry(kCamera00, 1, b);
    PutEntry(kCamera00, 3, d);
    CameraDialogSettings dialog;
    ASSERT_TRUE(store_.LoadCameraDialogSettings(0, dialog));
    EXPECT_EQ(dialog.table, (std::vector<WindowEntry>{a, b}));
    EXPECT_EQ(dialog.selected, 1);
    EXPECT_EQ(dialog.output, (OutputSettings{1, 0, 5, 2}));

    EXPECT_FALSE(store_.LoadCameraDialogSettings(1, dialog));
}

TEST_F(SettingsStoreTest, DialogSaveWritesItsTableAndLeavesLaterEntries) {
    PutEntry(kCamera00, 0, WindowEntry{});
    PutEntry(kCamera00, 1, WindowEntry{});
    PutEntry(kCamera00, 2, WindowEntry{1280, 1024, 64, 64, 0, 0, 1});
    CameraDialogSettings dialog;
    dialog.table = {WindowEntry{1280, 1024, 800, 600, 0, 0, 4}};
    dialog.selected = 0;
    dialog.output = OutputSettings{0, 0, 20, 1};
    ASSERT_TRUE(store_.SaveCameraDialogSettings(0, dialog));

    CameraDialogSettings back;
    ASSERT_TRUE(store_.LoadCameraDialogSettings(0, back));
    ASSERT_EQ(back.table.size(), 3u);
    EXPECT_EQ(back.table[0], dialog.table[0]);
    EXPECT_EQ(back.table[2].width, 64);
    EXPECT_EQ(back.output, dialog.output);
}

TEST_F(SettingsStoreTest, SizePresetsAreFoundByTheirWindowSize) {
    WindowEntry found;
    EXPECT_FALSE(store_.FindWindowEntry(640, 480, found));  // no product key

    const std::string product = kProductKey;
    const WindowEntry vga{1280, 1024, 640, 480, 320, 272, 4};
    const WindowEntry vgaToo{1280, 1024, 640, 480, 0, 0, 4};
    const WindowEntry beyondGap{1280, 1024, 320, 240, 0, 0, 4};
    PutEntry(product, 0, WindowEntry{});
    PutEntry(product, 1, vga);
    PutEntry(product, 2, vgaToo);
    PutEntry(product, 4, beyondGap);
    ASSERT_TRUE(store_.FindWindowEntry(640, 480, found));
    EXPECT_EQ(found, vga);  // the first that matches
    ASSERT_TRUE(store_.FindWindowEntry(1280, 1024, found));
    EXPECT_EQ(found, WindowEntry{});
    EXPECT_FALSE(store_.FindWindowEntry(320, 240, found));  // past the first missing number
    // The per-camera table is not the presets' place.
    PutEntry(kCamera00, 0, WindowEntry{1280, 1024, 100, 100, 0, 0, 4});
    EXPECT_FALSE(store_.FindWindowEntry(100, 100, found));
}

// ---- Processes saving at once ----------------------------------------------------------------

// Two processes save many rounds: each its own camera's key and both the same key of a third.
// Every own key ends with its process's last round, and the shared key holds one process's
// whole record, never a mix.
TEST_F(SettingsStoreTest, ProcessesSavingAtOnceLoseNothing) {
    const int rounds = test::kUnderSanitizer ? 20 : 60;
    pid_t children[2];
    for (int p = 0; p < 2; ++p) {
        children[p] = ::fork();
        ASSERT_GE(children[p], 0);
        if (children[p] == 0) {
            const SettingsStore store;
            bool ok = true;
            for (int r = 1; r <= rounds && ok; ++r) {
                AnalogSettings analog;
                analog.globalGain = p * 1000 + r;
                FilterSettings filters;
                filters.gamma = p * 1000 + r;
                GraySettings gray{p, p, p, p, p, p, p, p, p};
                ok = store.SaveAnalogSettings(1 + p, analog) &&
                     store.SaveFilterSettings(1 + p, filters) && store.SaveGraySettings(0, gray);
            }
            ::_exit(ok ? 0 : 1);
        }
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    for (int p = 0; p < 2; ++p) {
        AnalogSettings analog;
        FilterSettings filters;
        ASSERT_TRUE(store_.LoadAnalogSettings(1 + p, AnalogSettings{}, analog));
        ASSERT_TRUE(store_.LoadFilterSettings(1 + p, filters));
        EXPECT_EQ(analog.globalGain, p * 1000 + rounds);
        EXPECT_EQ(filters.gamma, p * 1000 + rounds);
    }
    GraySettings gray;
    ASSERT_TRUE(store_.LoadGraySettings(0, gray));
    EXPECT_TRUE(gray == (GraySettings{0, 0, 0, 0, 0, 0, 0, 0, 0}) ||
                gray == (GraySettings{1, 1, 1, 1, 1, 1, 1, 1, 1}));
}

}  // namespace
}  // namespace velcor::settings
