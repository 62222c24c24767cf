// The sibling launcher as the end-to-end tests under Wine need it: a top-level window titled
// exactly "Tolvan Flex Selecionador" that says on standard output when it is up and when a
// close request reaches it, and then ends with status 0. Ended any other way, it is killed.
#include <windows.h>

#include <cstdio>

namespace {

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE) {
        std::puts("WM_CLOSE");
        std::fflush(stdout);
        DestroyWindow(window);
        return 0;
    }
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int main() {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "TolvanLauncherStandIn";
    if (!RegisterClassA(&windowClass)) return 2;
    HWND window =
        CreateWindowA(windowClass.lpszClassName, "Tolvan Flex Selecionador", WS_OVERLAPPEDWINDOW, 0,
                      0, 240, 80, nullptr, nullptr, windowClass.hInstance, nullptr);
    if (!window) return 2;
    ShowWindow(window, SW_SHOWNOACTIVATE);
    // From here on FindWindowA finds it.
    std::puts("shown");
    std::fflush(stdout);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}
