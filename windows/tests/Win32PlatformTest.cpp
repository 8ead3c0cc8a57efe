// The Win32 side of the platform layer against the system's own facilities: the registry store
// writes what changed into the real registry, file mappings are shared by name, message windows
// queue what is posted to them, and text that the code page cannot hold is refused.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstring>

#include "platform/FileMapping.h"
#include "platform/MessageWindows.h"
#include "platform/Registry.h"
#include "platform/TextCodec.h"

namespace velcor::platform {
namespace {

constexpr char kKey[] = "Software\\Moniva\\Win32PlatformTest";

// A store of its own: its tree lives in a sandbox key, emptied before and after.
class RegistryStore : public ::testing::Test {
  protected:
    static constexpr char kSandbox[] = "Software\\VelcorSandbox\\win32-platform-test";
    void SetUp() override { ::RegDeleteTreeA(HKEY_CURRENT_USER, kSandbox); }
    void TearDown() override { ::RegDeleteTreeA(HKEY_CURRENT_USER, kSandbox); }

    static bool SystemDword(const char* key, const char* name, DWORD* value) {
        DWORD size = sizeof *value;
        return ::RegGetValueA(HKEY_CURRENT_USER, (std::string(kSandbox) + "\\" + key).c_str(), name,
                              RRF_RT_REG_DWORD, nullptr, value, &size) == ERROR_SUCCESS;
    }
    static bool SystemKeyExists(const char* key) {
        HKEY opened = nullptr;
        if (::RegOpenKeyExA(HKEY_CURRENT_USER, (std::string(kSandbox) + "\\" + key).c_str(), 0,
                            KEY_READ, &opened) != ERROR_SUCCESS) {
            return false;
        }
        ::RegCloseKey(opened);
        return true;
    }

    const Registry store_{"win32-platform-test"};
};

TEST_F(RegistryStore, ValuesReachTheRegistryAndComeBack) {
    const uint8_t bytes[] = {1, 2, 3, 0xFF};
    ASSERT_TRUE(store_.Update([&](RegistryTree& tree) {
        RegistryKey* key = tree.CreateKey(kKey);
        return key != nullptr && key->SetDword("Exposure", 1234) &&
               key->SetBinary("Window", bytes, sizeof bytes);
    }));
    DWORD value = 0;
    ASSERT_TRUE(SystemDword(kKey, "Exposure", &value));
    EXPECT_EQ(value, 1234u);

    RegistryTree tree;
    ASSERT_TRUE(store_.Read(tree));
    const RegistryKey* key = tree.OpenKey(kKey);
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->QueryDword("Exposure"), 1234u);
    EXPECT_EQ(key->QueryBinary("Window"), std::vector<uint8_t>(bytes, bytes + sizeof bytes));
}

TEST_F(RegistryStore, WhatTheChangeDropsLeavesTheRegistry) {
    ASSERT_TRUE(store_.Update([](RegistryTree& tree) {
        RegistryKey* key = tree.CreateKey(kKey);
        RegistryKey* child = tree.CreateKey(std::string(kKey) + "\\Gain");
        return key != nullptr && child != nullptr && key->SetDword("Keep", 1) &&
               key->SetDword("Drop", 2) && child->SetDword("Red", 100);
    }));
    ASSERT_TRUE(SystemKeyExists("Software\\Moniva\\Win32PlatformTest\\Gain"));

    // A tree rebuilt without the value and the subkey: both go from the registry.
    ASSERT_TRUE(store_.Update([](RegistryTree& tree) {
        RegistryTree kept;
        RegistryKey* key = kept.CreateKey(kKey);
        if (key == nullptr || !key->SetDword("Keep", 1)) return false;
        tree = kept;
        return true;
    }));
    DWORD value = 0;
    EXPECT_TRUE(SystemDword(kKey, "Keep", &value));
    EXPECT_FALSE(SystemDword(kKey, "Drop", &value));
    EXPECT_FALSE(SystemKeyExists("Software\\Moniva\\Win32PlatformTest\\Gain"));
}

TEST_F(RegistryStore, ARefusedChangeWritesNothing) {
    EXPECT_FALSE(store_.Update([](RegistryTree& tree) {
        RegistryKey* key = tree.CreateKey(kKey);
        if (key != nullptr) key->SetDword("Half", 1);
        return false;
    }));
    EXPECT_FALSE(SystemKeyExists(kKey));
}

TEST(FileMapping, OneNameIsOneSectionWhileAHolderLives) {
    const std::string name = "VelcorWin32Test-" + std::to_string(::GetCurrentProcessId());
    bool existed = true;
    auto first = FileMapping::OpenOrCreate(name, 4096, &existed);
    ASSERT_NE(first, nullptr);
    EXPECT_FALSE(existed);
    std::memcpy(first->View(), "table", 6);
    {
        auto second = FileMapping::OpenOrCreate(name, 4096, &existed);
        ASSERT_NE(second, nullptr);
        EXPECT_TRUE(existed);
        EXPECT_STREQ(static_cast<const char*>(second->View()), "table");
        const FileMapping::ContentsLock lock(second.get());
    }
    first.reset();
    // The last holder gone, the name makes a new, zero-filled section.
    auto again = FileMapping::OpenOrCreate(name, 4096, &existed);
    ASSERT_NE(again, nullptr);
    EXPECT_FALSE(existed);
    EXPECT_EQ(static_cast<const char*>(again->View())[0], '\0');
}

TEST(MessageWindow, PostedMessagesArriveInOrderAndWaitsEnd) {
    HWND window = CreateMessageWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(platform::PostMessage(window, 0x8002, 7, 8));
    ASSERT_TRUE(platform::PostMessage(window, 0x8003, 9, 0));
    MSG message{};
    ASSERT_TRUE(platform::GetMessage(&message, window, 0, 0, 0));
    EXPECT_EQ(message.message, 0x8002u);
    EXPECT_EQ(message.wParam, 7u);
    EXPECT_EQ(message.lParam, 8);
    ASSERT_TRUE(platform::PeekMessage(&message, window, 0x8003, 0x8003, true));
    EXPECT_EQ(message.wParam, 9u);

    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(platform::GetMessage(&message, window, 0, 0, 100));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(90));

    ASSERT_TRUE(platform::DestroyWindow(window));
    EXPECT_FALSE(platform::IsWindow(window));
    EXPECT_FALSE(platform::PostMessage(window, 0x8002, 0, 0));
}

TEST(TextCodec, TextTheCodePageCannotHoldIsRefused) {
    char narrow[16];
    EXPECT_EQ(WideToNarrow(L"abc", narrow, sizeof narrow), 4u);
    EXPECT_STREQ(narrow, "abc");
    // Neither the English nor the Japanese ANSI code page holds a Devanagari letter.
    EXPECT_EQ(WideToNarrow(L"a\u0915", narrow, sizeof narrow), 0u);
    EXPECT_EQ(WideToNarrow(L"abcdef", narrow, 4), 0u);
    wchar_t wide[8];
    EXPECT_EQ(NarrowToWide("xyz", wide, 8), 4u);
    EXPECT_STREQ(wide, L"xyz");
}

}  // namespace
}  // namespace velcor::platform
