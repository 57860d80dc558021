// The single-instance guard and the invisible window that owns the dialog.
#include "shell/host_window.h"

#include "settings/app_state.h"

static const char HOST_CLASS_NAME[] = "TAROPTS";
static const char HOST_WINDOW_TITLE[] = "Tarrowind Windows 95 Options";

static LRESULT CALLBACK host_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_SYSCOMMAND:
        // Alt and F10 would open the system menu of a window nobody sees.
        if (wparam == SC_KEYMENU)
            return 0;
        break;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

int init_host_window(HINSTANCE instance) {
    app_state.instance_mutex = CreateMutexA(nullptr, TRUE, "TAROPTS");
    if (GetLastError() == ERROR_ALREADY_EXISTS)
        return 0;

    WNDCLASSA window_class = {};
    window_class.style = CS_HREDRAW | CS_VREDRAW;
    window_class.lpfnWndProc = host_window_proc;
    window_class.hInstance = instance;
    // The program has no icon resource, so the class ends up without one.
    window_class.hIcon = LoadIconA(instance, IDI_APPLICATION);
    window_class.hbrBackground = static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    window_class.lpszClassName = HOST_CLASS_NAME;
    RegisterClassA(&window_class);

    app_state.host_window = CreateWindowExA(WS_EX_TRANSPARENT, HOST_CLASS_NAME, HOST_WINDOW_TITLE,
                                            WS_POPUP | WS_VISIBLE | WS_SYSMENU, 0, 0, 0, 0, nullptr,
                                            nullptr, instance, nullptr);
    return app_state.host_window != nullptr;
}
