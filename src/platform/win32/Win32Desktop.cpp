#include "platform/Win32Desktop.h"

#include <windows.h>

#include "services/Desktop.h"

namespace tolvan {

namespace {

constexpr UINT kHhCloseAll = 0x0012;  // HH_CLOSE_ALL
using HtmlHelpA = HWND(WINAPI*)(HWND caller, LPCSTR file, UINT command, DWORD_PTR data);

// The core's UTF-8 in the ANSI code page the "A" calls expect (a window's title, the manual's
// window type as the compiled manual spells it). What the page cannot spell becomes '?'.
std::string ansiFromUtf8(const std::string& text) {
    if (text.empty()) return text;
    const int wide =
        ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring utf16(static_cast<std::size_t>(wide), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf16.data(),
                          wide);
    const int narrow =
        ::WideCharToMultiByte(CP_ACP, 0, utf16.data(), wide, nullptr, 0, nullptr, nullptr);
    std::string ansi(static_cast<std::size_t>(narrow), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, utf16.data(), wide, ansi.data(), narrow, nullptr, nullptr);
    return ansi;
}

}  // namespace

Win32Desktop::Win32Desktop() {
    HMODULE module = ::LoadLibraryA("HHCtrl.OCX");
    if (!module) return;
    module_ = module;
    htmlHelp_ = reinterpret_cast<void (*)()>(::GetProcAddress(module, "HtmlHelpA"));
}

Win32Desktop::~Win32Desktop() {
    // A help window still open would run on in a library that is gone.
    if (htmlHelp_ && helpShown_)
        reinterpret_cast<HtmlHelpA>(htmlHelp_)(nullptr, nullptr, kHhCloseAll, 0);
    if (module_) ::FreeLibrary(static_cast<HMODULE>(module_));
}

void Win32Desktop::beep() {
    ::MessageBeep(0);
}

bool Win32Desktop::closeWindowTitled(const std::string& title) {
    HWND window = ::FindWindowA(nullptr, ansiFromUtf8(title).c_str());
    if (!window) return false;
    ::SendMessageA(window, WM_CLOSE, 0, 0);
    return true;
}

void Win32Desktop::showHelp(const HelpRequest& request) {
    if (!htmlHelp_) return;
    const std::string file = ansiFromUtf8(request.file);
    const std::string topic = ansiFromUtf8(request.topic);
    helpShown_ = true;
    reinterpret_cast<HtmlHelpA>(htmlHelp_)(
        ::GetActiveWindow(), file.c_str(), static_cast<UINT>(request.command),
        topic.empty() ? 0 : reinterpret_cast<DWORD_PTR>(topic.c_str()));
}

}  // namespace tolvan
