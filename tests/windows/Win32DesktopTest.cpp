#include <gtest/gtest.h>
#include <windows.h>

#include "platform/Win32Desktop.h"

namespace tolvan {
namespace {

// A top-level window of this thread: WM_CLOSE reaches it within SendMessage and its default
// handling destroys it.
HWND windowTitled(const wchar_t* title) {
    return ::CreateWindowExW(0, L"STATIC", title, WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                             ::GetModuleHandleW(nullptr), nullptr);
}

TEST(Win32DesktopTest, ClosesOnlyTheWindowWithExactlyThatTitle) {
    const HWND launcher = windowTitled(L"Lançador Tolvan");
    ASSERT_NE(launcher, nullptr);
    EXPECT_FALSE(Win32Desktop::closeWindowTitled("Lançador"));
    EXPECT_TRUE(::IsWindow(launcher));
    EXPECT_TRUE(Win32Desktop::closeWindowTitled("Lançador Tolvan"));
    EXPECT_FALSE(::IsWindow(launcher));
    EXPECT_FALSE(Win32Desktop::closeWindowTitled("Lançador Tolvan"));
}

TEST(Win32DesktopTest, FindsHtmlHelpByNameAndReleasesIt) {
    Win32Desktop desktop;
    EXPECT_TRUE(desktop.helpAvailable());
    Win32Desktop::beep();
}

}  // namespace
}  // namespace tolvan
