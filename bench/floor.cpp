// The least that a display-options utility must do before its dialog is up:
// a window for the exclusive cooperative level, the DirectDraw object, the
// enumeration of the display modes, and a dialog from a template. Its start
// time is the floor against which the bench measures taropts.exe.
#include <windows.h>

#include <ddraw.h>

#include "floor_resource.h"

static HRESULT WINAPI skip_mode(LPDDSURFACEDESC, LPVOID) {
    return DDENUMRET_OK;
}

static INT_PTR CALLBACK floor_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
    if (message == WM_INITDIALOG)
        return TRUE;
    if (message == WM_COMMAND && (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL)) {
        EndDialog(dialog, LOWORD(wparam));
        return TRUE;
    }
    return FALSE;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    WNDCLASSA window_class = {};
    window_class.lpfnWndProc = DefWindowProcA;
    window_class.hInstance = instance;
    window_class.lpszClassName = "FLOOR";
    RegisterClassA(&window_class);
    HWND window =
        CreateWindowExA(0, "FLOOR", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr);

    LPDIRECTDRAW directdraw = nullptr;
    if (DirectDrawCreate(nullptr, &directdraw, nullptr) != DD_OK)
        return 2;
    if (directdraw->SetCooperativeLevel(window, DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE |
                                                    DDSCL_ALLOWMODEX) != DD_OK ||
        directdraw->EnumDisplayModes(0, nullptr, nullptr, skip_mode) != DD_OK)
        return 2;
    directdraw->Release();

    INT_PTR result =
        DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_FLOOR), window, floor_dialog_proc, 0);
    return result == IDOK ? 0 : 1;
}
