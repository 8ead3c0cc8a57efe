// The registry facility: the Windows rules of keys and values, the export text it reads and
// writes, and the file that several processes share.
#include "platform/Registry.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/Sanitizers.h"

namespace velcor::platform {
namespace {

namespace fs = std::filesystem;

constexpr char kHeader[] = "Windows Registry Editor Version 5.00\n\n";

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

// The files of the registry folder whose names start with `prefix`.
std::vector<std::string> FilesStartingWith(const std::string& folder, const std::string& prefix) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(prefix, 0) == 0) names.push_back(name);
    }
    return names;
}

// ---- Keys and values in memory ---------------------------------------------------------------

TEST(RegistryTree, KeysAndValuesFollowTheWindowsRules) {
    RegistryTree tree;
    RegistryKey* key = tree.CreateKey("Software\\Moniva\\Sdk\\Camera_00");
    ASSERT_NE(key, nullptr);
    // Creating a key makes the keys above it; names compare without regard to case.
    EXPECT_NE(tree.OpenKey("Software"), nullptr);
    EXPECT_NE(tree.OpenKey("software\\MONIVA\\sdk"), nullptr);
    EXPECT_EQ(tree.OpenKey("Software\\Moniva\\Sdk\\Camera_01"), nullptr);
    EXPECT_EQ(tree.CreateKey("SOFTWARE\\moniva\\SDK\\camera_00"), key);

    EXPECT_TRUE(key->SetDword("Size", 3));
    const uint8_t bytes[] = {1, 2, 3};
    EXPECT_TRUE(key->SetBinary("Blob", bytes, sizeof bytes));
    EXPECT_EQ(key->QueryDword("SIZE"), 3u);
    // Missing, or of the other type: no value.
    EXPECT_EQ(key->QueryDword("Color"), std::nullopt);
    EXPECT_EQ(key->QueryDword("Blob"), std::nullopt);
    EXPECT_EQ(key->QueryBinary("Size"), std::nullopt);
    EXPECT_EQ(key->QueryBinary("blob"), (std::vector<uint8_t>{1, 2, 3}));

    // A value written again keeps its place.
    EXPECT_TRUE(key->SetDword("size", 7));
    ASSERT_EQ(key->Values().size(), 2u);
    EXPECT_EQ(key->Values()[0].name, "size");
    EXPECT_EQ(key->Values()[0].dword, 7u);

    tree.CreateKey("Software\\Moniva\\Sdk\\Size_00");
    tree.CreateKey("Software\\Moniva\\Sdk\\Camera_00\\Gain");
    EXPECT_EQ(tree.SubkeyNames("Software\\Moniva\\Sdk"),
              (std::vector<std::string>{"Camera_00", "Size_00"}));
    EXPECT_EQ(tree.SubkeyNames("Software\\Moniva\\Sdk\\Camera_00\\Gain").size(), 0u);
}

TEST(RegistryTree, RefusesNamesTheFormatCannotHold) {
    RegistryTree tree;
    EXPECT_EQ(tree.CreateKey(""), nullptr);
    EXPECT_EQ(tree.CreateKey("Software\\\\Moniva"), nullptr);
    EXPECT_EQ(tree.CreateKey("Software\\"), nullptr);
    EXPECT_EQ(tree.CreateKey("Soft\nware"), nullptr);
    EXPECT_EQ(tree.CreateKey(std::string(256, 'k')), nullptr);
    std::string deep = "k";
    for (size_t i = 1; i <= kRegistryMaxDepth; ++i)
        deep += "\\k";
    EXPECT_EQ(tree.CreateKey(deep), nullptr);
    EXPECT_TRUE(tree.Empty());

    RegistryKey* key = tree.CreateKey("Software");
    ASSERT_NE(key, nullptr);
    EXPECT_FALSE(key->SetDword("", 1));
    EXPECT_FALSE(key->SetDword("tab\there", 1));
    EXPECT_FALSE(key->SetDword(std::string(256, 'v'), 1));
    std::vector<uint8_t> big(kRegistryMaxBinaryBytes + 1);
    EXPECT_FALSE(key->SetBinary("Big", big.data(), big.size()));
    EXPECT_TRUE(key->Values().empty());
}

// ---- The export text -------------------------------------------------------------------------

TEST(RegistryText, WritesTheExportFormatAndReadsItBack) {
    RegistryTree tree;
    RegistryKey* key = tree.CreateKey("Software\\Moniva\\Camera_00\\Gain");
    key->SetDword("Global", 2);
    const uint8_t seconds[] = {0, 0, 0, 0, 0, 0, 0xF0, 0x3F};
    key->SetBinary("ExposureEx", seconds, sizeof seconds);
    key->SetDword("Quote\"and\\slash", 0xFFFFFFFF);
    const std::string text = tree.Serialise();
    EXPECT_EQ(text, std::string(kHeader) +
                        "[HKEY_CURRENT_USER\\Software]\n\n"
                        "[HKEY_CURRENT_USER\\Software\\Moniva]\n\n"
                        "[HKEY_CURRENT_USER\\Software\\Moniva\\Camera_00]\n\n"
                        "[HKEY_CURRENT_USER\\Software\\Moniva\\Camera_00\\Gain]\n"
                        "\"Global\"=dword:00000002\n"
                        "\"ExposureEx\"=hex:00,00,00,00,00,00,f0,3f\n"
                        "\"Quote\\\"and\\\\slash\"=dword:ffffffff\n\n");
    const std::optional<RegistryTree> back = RegistryTree::Parse(text);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->Serialise(), text);
    EXPECT_EQ(back->OpenKey("Software\\Moniva\\Camera_00\\Gain")->QueryDword("quote\"AND\\slash"),
              0xFFFFFFFFu);
}

TEST(RegistryText, ReadsWhatRegeditWrites) {
    // A byte order mark, CRLF line ends, comments, a hex value over continuation lines, short
    // DWORD digits and the hive's own section.
    const std::string text =
        "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n\r\n"
        "[HKEY_CURRENT_USER]\r\n"
        "; settings of the camera\r\n"
        "[HKEY_CURRENT_USER\\Software\\Moniva]\r\n"
        "\"Long\"=hex:01,02,03,\\\r\n"
        "  04,05\r\n"
        "\"Short\"=dword:A\r\n";
    const std::optional<RegistryTree> tree = RegistryTree::Parse(text);
    ASSERT_TRUE(tree);
    const RegistryKey* key = tree->OpenKey("Software\\Moniva");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->QueryBinary("Long"), (std::vector<uint8_t>{1, 2, 3, 4, 5}));
    EXPECT_EQ(key->QueryDword("Short"), 10u);
}

TEST(RegistryText, RefusesWhatItDoesNotUnderstand) {
    const std::string section = "[HKEY_CURRENT_USER\\Software]\n";
    const std::vector<std::string> refused = {
        "",
        "garbage",
        "REGEDIT4\n\n" + section,                                   // another version
        std::string(kHeader) + "\"Orphan\"=dword:00000001\n",       // a value before any key
        std::string(kHeader) + "[HKEY_LOCAL_MACHINE\\Software]\n",  // another hive
        std::string(kHeader) + "[-HKEY_CURRENT_USER\\Software]\n",  // a deletion
        std::string(kHeader) + "[HKEY_CURRENT_USER\\Software\n",    // no closing bracket
        std::string(kHeader) + "[HKEY_CURRENT_USER\\]\n",
        std::string(kHeader) + "[HKEY_CURRENT_USER\\a\\\\b]\n",
        std::string(kHeader) + section + "\"A\"=dword:123456789\n",  // nine digits
        std::string(kHeader) + section + "\"A\"=dword:\n",
        std::string(kHeader) + section + "\"A\"=dword:0000000g\n",
        std::string(kHeader) + section + "\"A\"=dword:00000001 trailing\n",
        std::string(kHeader) + section + "\"A\"=hex:0\n",
        std::string(kHeader) + section + "\"A\"=hex:00,\n",
        std::string(kHeader) + section + "\"A\"=hex:00,01,\\\n",  // continuation at the end
        std::string(kHeader) + section + "\"A\"=\"text\"\n",      // a string value
        std::string(kHeader) + section + "\"A\"=-\n",             // a deletion
        std::string(kHeader) + section + "@=dword:00000001\n",    // the default value
        std::string(kHeader) + section + "\"\"=dword:00000001\n",
        std::string(kHeader) + section + "\"A=dword:00000001\n",
        std::string(kHeader) + section + "\"A\\x\"=dword:00000001\n",
        std::string(kHeader) + section + "\"A\"=dword:00000001\r\r\n",
        std::string(kHeader) + section + std::string("\"A\0\"=dword:1\n", 14),
    };
    for (const std::string& text : refused)
        EXPECT_FALSE(RegistryTree::Parse(text)) << text;
}

TEST(RegistryText, RefusesTextBeyondItsBounds) {
    std::string many(kHeader);
    for (size_t i = 0; i <= kRegistryMaxKeys; ++i)
        many += "[HKEY_CURRENT_USER\\K" + std::to_string(i) + "]\n";
    EXPECT_FALSE(RegistryTree::Parse(many));

    std::string values = std::string(kHeader) + "[HKEY_CURRENT_USER\\K]\n";
    for (size_t i = 0; i <= kRegistryMaxValuesPerKey; ++i)
        values += "\"V" + std::to_string(i) + "\"=dword:1\n";
    EXPECT_FALSE(RegistryTree::Parse(values));

    std::string binary = std::string(kHeader) + "[HKEY_CURRENT_USER\\K]\n\"B\"=hex:00";
    for (size_t i = 1; i <= kRegistryMaxBinaryBytes; ++i)
        binary += ",00";
    EXPECT_FALSE(RegistryTree::Parse(binary + "\n"));

    EXPECT_FALSE(RegistryTree::Parse(std::string(kHeader) + "[HKEY_CURRENT_USER\\" +
                                     std::string(300, 'k') + "]\n"));
}

// ---- The shared file -------------------------------------------------------------------------

// The tests' registry is the default one: the test program points XDG_CONFIG_HOME at a folder
// of its own and empties it before each test.
class RegistryFile : public ::testing::Test {
  protected:
    Registry registry_;
    std::string Folder() const { return registry_.Folder(); }
    std::string File() const { return registry_.FilePath(); }
};

TEST_F(RegistryFile, LivesInTheConfigFolderOfTheEnvironment) {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    ASSERT_NE(config, nullptr);
    EXPECT_EQ(Folder(), std::string(config) + "/velcor");
    EXPECT_EQ(File(), std::string(config) + "/velcor/registry.reg");
}

TEST_F(RegistryFile, ReadingMakesNothingAndWritingMakesTheFolder) {
    RegistryTree tree;
    ASSERT_TRUE(registry_.Read(tree));
    EXPECT_TRUE(tree.Empty());
    EXPECT_FALSE(fs::exists(Folder()));

    ASSERT_TRUE(registry_.Update(
        [](RegistryTree& t) { return t.CreateKey("Software\\Moniva")->SetDword("Global", 2); }));
    EXPECT_EQ(ReadText(File()), std::string(kHeader) +
                                    "[HKEY_CURRENT_USER\\Software]\n\n"
                                    "[HKEY_CURRENT_USER\\Software\\Moniva]\n"
                                    "\"Global\"=dword:00000002\n\n");
    // The temporary file of the write is gone.
    EXPECT_EQ(FilesStartingWith(Folder(), "registry.reg.tmp").size(), 0u);

    // A change that is called off writes nothing.
    EXPECT_FALSE(registry_.Update([](RegistryTree& t) {
        t.CreateKey("Software\\Other");
        return false;
    }));
    ASSERT_TRUE(registry_.Read(tree));
    EXPECT_EQ(tree.OpenKey("Software\\Other"), nullptr);
    EXPECT_EQ(tree.OpenKey("Software\\Moniva")->QueryDword("Global"), 2u);
}

TEST_F(RegistryFile, ADamagedFileIsSetAsideAndTheTreeStartsEmpty) {
    std::string binary(4096, '\0');
    for (size_t i = 0; i < binary.size(); ++i)
        binary[i] = static_cast<char>(i * 37 + 11);
    const std::string good =
        std::string(kHeader) + "[HKEY_CURRENT_USER\\Software]\n\"Global\"=dword:00000002\n";
    const std::vector<std::pair<std::string, std::string>> damaged = {
        {"garbage", "this is not a registry file\n"},
        {"truncated", good.substr(0, good.size() - 14)},
        {"binary", binary},
        {"huge", std::string(kHeader) + std::string(kRegistryFileLimit, ';')},
    };
    int round = 0;
    for (const auto& [what, content] : damaged) {
        SCOPED_TRACE(what);
        fs::remove_all(Folder());
        fs::create_directories(Folder());
        WriteText(File(), content);
        RegistryTree tree;
        ASSERT_TRUE(registry_.Read(tree));
        EXPECT_TRUE(tree.Empty());
        EXPECT_FALSE(fs::exists(File()));
        const std::vector<std::string> aside = FilesStartingWith(Folder(), "registry.reg.damaged-");
        ASSERT_EQ(aside.size(), 1u);
        EXPECT_EQ(ReadText(Folder() + "/" + aside[0]), content);
        // The store goes on with a new file.
        ASSERT_TRUE(registry_.Update(
            [&](RegistryTree& t) { return t.CreateKey("Software")->SetDword("Round", ++round); }));
        ASSERT_TRUE(registry_.Read(tree));
        EXPECT_EQ(tree.OpenKey("Software")->QueryDword("Round"), static_cast<uint32_t>(round));
    }
}

TEST_F(RegistryFile, AFolderWhereTheFileShouldBeIsSetAside) {
    fs::create_directories(File() + "/inside");
    ASSERT_TRUE(
        registry_.Update([](RegistryTree& t) { return t.CreateKey("Software") != nullptr; }));
    EXPECT_TRUE(fs::is_regular_file(File()));
    EXPECT_EQ(FilesStartingWith(Folder(), "registry.reg.damaged-").size(), 1u);
}

// Processes that change the registry at the same time: each round of each process adds its
// own value and increments one shared counter, so a lost update shows in both.
TEST_F(RegistryFile, ProcessesSavingAtOnceLoseNothing) {
    constexpr int kProcesses = 4;
    const int rounds = test::kUnderSanitizer ? 25 : 100;
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            const Registry registry;
            bool ok = true;
            for (int r = 0; r < rounds && ok; ++r) {
                ok = registry.Update([&](RegistryTree& t) {
                    RegistryKey* own = t.CreateKey("Software\\Camera_0" + std::to_string(p));
                    RegistryKey* shared = t.CreateKey("Software\\Shared");
                    const uint32_t count = shared->QueryDword("Count").value_or(0);
                    return own->SetDword("Round" + std::to_string(r), static_cast<uint32_t>(r)) &&
                           shared->SetDword("Count", count + 1);
                });
            }
            ::_exit(ok ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    RegistryTree tree;
    ASSERT_TRUE(registry_.Read(tree));
    EXPECT_EQ(tree.OpenKey("Software\\Shared")->QueryDword("Count"),
              static_cast<uint32_t>(kProcesses * rounds));
    for (int p = 0; p < kProcesses; ++p) {
        const RegistryKey* own = tree.OpenKey("Software\\Camera_0" + std::to_string(p));
        ASSERT_NE(own, nullptr);
        EXPECT_EQ(own->Values().size(), static_cast<size_t>(rounds));
    }
    EXPECT_EQ(FilesStartingWith(Folder(), "registry.reg.damaged-").size(), 0u);
}

}  // namespace
}  // namespace velcor::platform
