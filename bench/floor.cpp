// The floor of bench/run.sh: every platform call taropts.exe must make, none of its own work.
//
// The same calls, with the same arguments, as a run of the program on the
// bench's modes and tarro.cfg, in its order but for the list messages, which
// go list by list; the labels are fixed text.
// Left out is what only the program's code does: tarro.cfg read and written,
// modes accepted and sorted, labels formatted, choices read back.
#include <windows.h>

#include <ddraw.h>

#include "res/resource.h"
#include "settings/app_state.h"
#include "shell/host_window.h"

// What taropts.exe lists for the test display driver's typical modes, and
// the entries that the timed scenario's tarro.cfg selects.
static const char* const GAME_LABELS[] = {
    "320x200x256", "320x200x65536", "320x240x256", "320x240x65536", "512x384x256", "512x384x65536",
    "640x400x256", "640x400x65536", "640x480x256", "640x480x65536", "800x600x256", "800x600x65536"};
static const char* const VIDEO_LABELS[] = {"Auto",        "320x200x256", "320x240x256",
                                           "512x384x256", "640x400x256", "640x480x256"};
static const int GAME_COUNT = sizeof GAME_LABELS / sizeof GAME_LABELS[0];
static const int VIDEO_COUNT = sizeof VIDEO_LABELS / sizeof VIDEO_LABELS[0];
static const int GAME_SELECTED = 8;
static const int VIDEO_SELECTED = 1;

static HRESULT WINAPI skip_mode(LPDDSURFACEDESC, LPVOID) {
    return DDENUMRET_OK;
}

static void fill_list(HWND dialog, int list, const char* const* labels, int count, int selected) {
    for (int i = 0; i < count; ++i) {
        LRESULT item =
            SendDlgItemMessageA(dialog, list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(labels[i]));
        SendDlgItemMessageA(dialog, list, CB_SETITEMDATA, item, i);
    }
    SendDlgItemMessageA(dialog, list, CB_SETCURSEL, selected, 0);
}

static INT_PTR CALLBACK floor_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
    if (message == WM_INITDIALOG) {
        CheckDlgButton(dialog, IDC_SCALE_VIDEOS, 1);
        CheckDlgButton(dialog, IDC_PAGE_FLIP, 1);
        SendDlgItemMessageA(dialog, IDC_GAME_RES, CB_RESETCONTENT, 0, 0);
        SendDlgItemMessageA(dialog, IDC_VIDEO_RES, CB_RESETCONTENT, 0, 0);
        fill_list(dialog, IDC_VIDEO_RES, VIDEO_LABELS, VIDEO_COUNT, VIDEO_SELECTED);
        fill_list(dialog, IDC_GAME_RES, GAME_LABELS, GAME_COUNT, GAME_SELECTED);
        SendDlgItemMessageA(dialog, IDC_GAME_RES, CB_GETCOUNT, 0, 0);
        return TRUE;
    }
    if (message != WM_COMMAND || (LOWORD(wparam) != IDOK && LOWORD(wparam) != IDCANCEL))
        return FALSE;
    if (LOWORD(wparam) == IDOK) {
        IsDlgButtonChecked(dialog, IDC_SCALE_VIDEOS);
        IsDlgButtonChecked(dialog, IDC_PAGE_FLIP);
        LRESULT game = SendDlgItemMessageA(dialog, IDC_GAME_RES, CB_GETCURSEL, 0, 0);
        SendDlgItemMessageA(dialog, IDC_GAME_RES, CB_GETITEMDATA, game, 0);
        LRESULT video = SendDlgItemMessageA(dialog, IDC_VIDEO_RES, CB_GETCURSEL, 0, 0);
        SendDlgItemMessageA(dialog, IDC_VIDEO_RES, CB_GETITEMDATA, video, 0);
    }
    EndDialog(dialog, LOWORD(wparam) == IDOK ? 0 : 1);
    return TRUE;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    // The mutex and the host window come from the program's own code: platform calls only.
    if (!init_host_window(instance))
        return 0;
    HWND host = app_state.host_window;

    HCURSOR kept = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    ShowCursor(TRUE);
    LPDIRECTDRAW directdraw = nullptr;
    if (DirectDrawCreate(nullptr, &directdraw, nullptr) != DD_OK ||
        directdraw->SetCooperativeLevel(host, DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE |
                                                  DDSCL_ALLOWMODEX) != DD_OK ||
        directdraw->EnumDisplayModes(0, nullptr, nullptr, skip_mode) != DD_OK)
        return 1;
    ShowCursor(FALSE);
    SetCursor(kept);
    directdraw->Release();
    MoveWindow(host, 0, 0, 0, 0, FALSE);

    DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_OPTIONS), host, floor_dialog_proc, 0);
    return 0;
}
