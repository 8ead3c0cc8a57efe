// The settings dialogs as Windows shows them, from the templates the library carries: opened
// through the exports on a simulated ROZE9701 camera, looked at and driven through their
// windows' messages as a user's clicks and keys would, and checked on the camera afterwards.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "camera/CameraTestSupport.h"
#include "dialogs/DialogHost.h"
#include "dialogs/win32/DialogResources.h"
#include "dialogs/win32/Win32DialogView.h"
#include "platform/SystemLanguage.h"

namespace velcor::testing {
namespace {

using dialogs::DialogModel;

std::wstring Text(HWND window) {
    wchar_t text[256] = L"";
    ::GetWindowTextW(window, text, 256);
    return text;
}

std::wstring ComboItem(HWND combo, int index) {
    wchar_t text[256] = L"";
    ::SendMessageW(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text));
    return text;
}

// The window of the dialog (frame or one of its pages) that holds control id.
HWND Holder(HWND frame, int id) {
    if (::GetDlgItem(frame, id) != nullptr) return frame;
    for (HWND child = ::GetWindow(frame, GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (::GetDlgItem(child, id) != nullptr) return child;
    }
    return nullptr;
}

// Saves what the screen shows of window as name.bmp in the working folder, for a person to
// look at the layout.
void Screenshot(HWND window, const std::string& name) {
    ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    RECT area;
    ::GetWindowRect(window, &area);
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = height;  // bottom row first, as a BMP file stores it
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    const int stride = (width * 3 + 3) & ~3;
    std::vector<char> pixels(static_cast<size_t>(stride) * static_cast<size_t>(height));
    HDC screen = ::GetDC(nullptr);
    HDC memory = ::CreateCompatibleDC(screen);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = ::SelectObject(memory, bitmap);
    ::BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
    ::SelectObject(memory, old);
    ::GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(),
                reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS);
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
    std::ofstream out(name + ".bmp", std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof file);
    out.write(reinterpret_cast<const char*>(&header), sizeof header);
    out.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
}

class Win32Dialogs : public CameraOnSimulator {
  protected:
    void SetUp() override {
        CameraOnSimulator::SetUp();
        Open(1);
    }
    void TearDown() override {
        dialogs::SetDialogShownHookForTesting(nullptr);
        CameraOnSimulator::TearDown();
    }

    // The next dialog runs user(frame) on its own thread once it is on screen; user must end
    // it (the messages it sends or posts act as the user's).
    void NextDialog(std::function<void(HWND frame)> user) {
        shown_ = false;
        dialogs::SetDialogShownHookForTesting([this, user](DialogModel&, unsigned long frame) {
            shown_ = true;
            user(reinterpret_cast<HWND>(static_cast<uintptr_t>(frame)));
        });
    }

    HWND Control(HWND frame, int id) {
        HWND holder = Holder(frame, id);
        return holder != nullptr ? ::GetDlgItem(holder, id) : nullptr;
    }
    // A user moved trackbar or up-down id to position.
    void Move(HWND frame, int id, int position) {
        HWND control = Control(frame, id);
        wchar_t name[64] = L"";
        ::GetClassNameW(control, name, 64);
        const bool trackbar = std::wstring(name) == TRACKBAR_CLASSW;
        ::SendMessageW(control, trackbar ? TBM_SETPOS : UDM_SETPOS32, trackbar ? TRUE : 0,
                       position);
        ::SendMessageW(Holder(frame, id), trackbar ? WM_HSCROLL : WM_VSCROLL,
                       MAKEWPARAM(SB_THUMBPOSITION, position), reinterpret_cast<LPARAM>(control));
    }
    // A user typed text into edit id and left it.
    void Type(HWND frame, int id, const wchar_t* text) {
        HWND edit = Control(frame, id);
        ::SetWindowTextW(edit, text);
        ::SendMessageW(Holder(frame, id), WM_COMMAND, MAKEWPARAM(id, EN_KILLFOCUS),
                       reinterpret_cast<LPARAM>(edit));
    }
    void Press(HWND frame, int id) {
        ::PostMessageW(Holder(frame, id), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                       reinterpret_cast<LPARAM>(Control(frame, id)));
    }
    int Filter(int id) { return Velcor_GetFilterValue(handle_, id, nullptr); }

    bool shown_ = false;
};

TEST_F(Win32Dialogs, StreamFormatShowsWhatTheRoze9701OffersAndAppliesATypedWaitTime) {
    NextDialog([&](HWND frame) {
        Screenshot(frame, "win32-camera-dialog");
        EXPECT_EQ(Text(frame), L"Property");
        HWND format = Control(frame, 1009);
        ASSERT_EQ(::SendMessageW(format, CB_GETCOUNT, 0, 0), 2);
        EXPECT_EQ(ComboItem(format, 0), L"Monochrome 8bit");
        EXPECT_EQ(ComboItem(format, 1), L"Monochrome 12bit *");
        EXPECT_EQ(::SendMessageW(Control(frame, 1014), CB_GETCURSEL, 0, 0), 2);
        EXPECT_FALSE(::IsWindowEnabled(Control(frame, 1014)));
        // Only vertical windowing on this camera.
        for (int id : {1039, 1041, 1043})
            EXPECT_FALSE(::IsWindowEnabled(Control(frame, id))) << id;
        for (int id : {1040, 1042, 1044})
            EXPECT_TRUE(::IsWindowEnabled(Control(frame, id))) << id;
        HWND apply = Control(frame, 1002);
        EXPECT_FALSE(::IsWindowEnabled(apply));
        Type(frame, 1045, L"25");
        EXPECT_TRUE(::IsWindowEnabled(apply));
        Press(frame, IDOK);
    });
    EXPECT_EQ(Velcor_SetCameraDlg(handle_, nullptr), TRUE);
    EXPECT_TRUE(shown_);
    EXPECT_EQ(Velcor_GetWaitTime(handle_), 25);
}

TEST_F(Win32Dialogs, AnalogPageHidesWhatTheCameraLacksAndCancelRestoresTheGain) {
    const int gain = Velcor_GetGlobalGain(handle_, nullptr);
    NextDialog([&](HWND frame) {
        Screenshot(frame, "win32-analog-dialog");
        HWND tab = ::GetDlgItem(frame, VELCOR_IDC_TAB);
        EXPECT_EQ(::SendMessageW(tab, TCM_GETITEMCOUNT, 0, 0), 1);
        // No cooler on the ROZE9701; short exposure, gain mode and black level are there.
        EXPECT_FALSE(::IsWindowVisible(Control(frame, 2124)));
        for (int id : {2125, 2126, 2128, 2128 + VELCOR_CAPTION_OFFSET})
            EXPECT_TRUE(::IsWindowVisible(Control(frame, id))) << id;
        EXPECT_EQ(::SendMessageW(Control(frame, 2126), CB_GETCOUNT, 0, 0), 2);
        EXPECT_EQ(Text(Control(frame, 1013 + VELCOR_CAPTION_OFFSET)), L"&Global Gain");
        // The up-down moves the trackbar and the edit with it, and the camera at once.
        const int target = gain + 3;
        Move(frame, 1038, target);
        EXPECT_EQ(::SendMessageW(Control(frame, 1013), TBM_GETPOS, 0, 0), target);
        EXPECT_EQ(Text(Control(frame, 1015)), std::to_wstring(target));
        EXPECT_EQ(Velcor_GetGlobalGain(handle_, nullptr), target);
        // Checking one automatic exposure box unchecks the other.
        ::SendMessageW(Control(frame, 1037), BM_CLICK, 0, 0);
        ::SendMessageW(Control(frame, 1036), BM_CLICK, 0, 0);
        EXPECT_EQ(::SendMessageW(Control(frame, 1036), BM_GETCHECK, 0, 0), BST_CHECKED);
        EXPECT_EQ(::SendMessageW(Control(frame, 1037), BM_GETCHECK, 0, 0), BST_UNCHECKED);
        EXPECT_EQ(Velcor_GetAutoIris(handle_, nullptr), 2);
        ::PostMessageW(frame, WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(Velcor_SetAnalogDlg(handle_, nullptr), TRUE);
    EXPECT_TRUE(shown_);
    EXPECT_EQ(Velcor_GetGlobalGain(handle_, nullptr), gain);
}

TEST_F(Win32Dialogs, ImageDialogOfAMonochromeCameraHasBothPagesAndOkKeepsAMovedSlider) {
    NextDialog([&](HWND frame) {
        HWND tab = ::GetDlgItem(frame, VELCOR_IDC_TAB);
        ASSERT_EQ(::SendMessageW(tab, TCM_GETITEMCOUNT, 0, 0), 2);
        HWND imagePage = Holder(frame, 2001);
        HWND grayPage = Holder(frame, 2100);
        ASSERT_NE(imagePage, nullptr);
        ASSERT_NE(grayPage, nullptr);
        Screenshot(frame, "win32-image-dialog");
        EXPECT_TRUE(::IsWindowVisible(imagePage));
        EXPECT_FALSE(::IsWindowVisible(grayPage));
        // A brightness of 0 puts the thumb in the middle of -255..255.
        RECT channel, thumb;
        ::SendMessageW(::GetDlgItem(imagePage, 2001), TBM_GETCHANNELRECT, 0,
                       reinterpret_cast<LPARAM>(&channel));
        ::SendMessageW(::GetDlgItem(imagePage, 2001), TBM_GETTHUMBRECT, 0,
                       reinterpret_cast<LPARAM>(&thumb));
        EXPECT_NEAR((thumb.left + thumb.right) / 2, (channel.left + channel.right) / 2,
                    (channel.right - channel.left) / 20);
        // Hue has no meaning in monochrome: shown, not changeable.
        EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(imagePage, 2021)));
        EXPECT_EQ(::SendMessageW(::GetDlgItem(imagePage, 2021), TBM_GETRANGEMIN, 0, 0), -360);
        // The balance and the Bayer mode live on the gray page here; the image page's own
        // copies and their boxes are not shown.
        for (int id : {2074, 1035, 1030, 2074 + VELCOR_CAPTION_OFFSET})
            EXPECT_FALSE(::IsWindowVisible(::GetDlgItem(imagePage, id))) << id;
        EXPECT_EQ(::SendMessageW(::GetDlgItem(grayPage, 1033), BM_GETCHECK, 0, 0), BST_CHECKED);
        // The tab shows the gray page.
        ::SendMessageW(tab, TCM_SETCURSEL, 1, 0);
        NMHDR change{tab, VELCOR_IDC_TAB, TCN_SELCHANGE};
        ::SendMessageW(frame, WM_NOTIFY, VELCOR_IDC_TAB, reinterpret_cast<LPARAM>(&change));
        EXPECT_TRUE(::IsWindowVisible(grayPage));
        EXPECT_FALSE(::IsWindowVisible(imagePage));
        Screenshot(frame, "win32-image-dialog-gray-page");

        Move(frame, 2001, 40);
        EXPECT_EQ(Text(::GetDlgItem(imagePage, 2002)), L"40");
        EXPECT_EQ(Filter(VELCOR_FILTER_BRIGHTNESS), 40);
        // A number out of range is taken at the range's end, and shown so.
        Type(frame, 2101, L"999");
        EXPECT_EQ(Text(::GetDlgItem(grayPage, 2101)), L"255");
        Type(frame, 2101, L"lots");
        EXPECT_EQ(Text(::GetDlgItem(grayPage, 2101)), L"255");
        Press(frame, IDOK);
    });
    EXPECT_EQ(Velcor_SetImageDlg(handle_, nullptr), TRUE);
    EXPECT_TRUE(shown_);
    EXPECT_EQ(Filter(VELCOR_FILTER_BRIGHTNESS), 40);
    EXPECT_EQ(Filter(VELCOR_FILTER_GRAY_GAIN_R), 255);
}

// On a Japanese system (the test program run with LANG=ja_JP.UTF-8 under Wine) the Japanese
// templates show, with the Japanese texts of the dialog's own controls.
using Win32DialogsJapanese = Win32Dialogs;

TEST_F(Win32DialogsJapanese, AnalogDialogSpeaksJapanese) {
    if (platform::SystemDefaultLangId() != platform::kLangJapanese)
        GTEST_SKIP() << "the system language is not Japanese";
    NextDialog([&](HWND frame) {
        Screenshot(frame, "win32-analog-dialog-ja");
        EXPECT_EQ(Text(frame), L"プロパティ");
        EXPECT_EQ(Text(::GetDlgItem(frame, IDCANCEL)), L"キャンセル");
        EXPECT_EQ(Text(Control(frame, 1013 + VELCOR_CAPTION_OFFSET)), L"ゲイン(&G)");
        EXPECT_EQ(Text(Control(frame, 2125)), L"短時間露光モード");
        EXPECT_EQ(ComboItem(Control(frame, 2126), 0), L"高ゲイン");
        // The exposure's unit is the same sign in both languages: Greek small mu.
        HWND unit = Control(frame, 2132);
        bool micro = false;
        for (int i = 0; i < ::SendMessageW(unit, CB_GETCOUNT, 0, 0); ++i)
            micro = micro || ComboItem(unit, i) == L"\u03bcs";
        EXPECT_TRUE(micro);
        Press(frame, IDCANCEL);
    });
    EXPECT_EQ(Velcor_SetAnalogDlg(handle_, nullptr), TRUE);
    EXPECT_TRUE(shown_);
}

// Every template is there in both languages, and the Japanese ones hold their texts as the
// resource compiler read them from UTF-8.
TEST(Win32DialogTemplates, BothLanguagesCarryEveryDialog) {
    HMODULE module = ::GetModuleHandleW(nullptr);
    const int japanese[] = {101, 102, 103, 104, 105, 113, 116};
    const int english[] = {106, 108, 107, 111, 110, 112, 117};
    for (int id : japanese) {
        EXPECT_NE(::FindResourceExW(module, MAKEINTRESOURCEW(5), MAKEINTRESOURCEW(id),
                                    MAKELANGID(LANG_JAPANESE, 0x01)),
                  nullptr)
            << id;
    }
    for (int id : english) {
        EXPECT_NE(::FindResourceExW(module, MAKEINTRESOURCEW(5), MAKEINTRESOURCEW(id),
                                    MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)),
                  nullptr)
            << id;
    }
    HRSRC found =
        ::FindResourceExW(module, MAKEINTRESOURCEW(5), MAKEINTRESOURCEW(VELCOR_DLG_ANALOG_MONO_JA),
                          MAKELANGID(LANG_JAPANESE, 0x01));
    ASSERT_NE(found, nullptr);
    const auto* page = static_cast<LPCDLGTEMPLATEW>(::LockResource(::LoadResource(module, found)));
    const INITCOMMONCONTROLSEX classes{sizeof classes, ICC_BAR_CLASSES | ICC_UPDOWN_CLASS};
    ::InitCommonControlsEx(&classes);
    // A page is a child dialog: it needs a frame.
    HWND frame = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 400, 400, nullptr, nullptr,
                                   module, nullptr);
    ASSERT_NE(frame, nullptr);
    HWND window = ::CreateDialogIndirectParamW(module, page, frame, nullptr, 0);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(Text(::GetDlgItem(window, 1013 + VELCOR_CAPTION_OFFSET)), L"ゲイン(&G)");
    EXPECT_EQ(Text(::GetDlgItem(window, 2124)), L"ペルチェ");
    ::DestroyWindow(frame);
}

}  // namespace
}  // namespace velcor::testing
