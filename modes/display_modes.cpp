// The display mode catalogue: the modes DirectDraw offers, filtered and sorted.
#include "modes/display_modes.h"

#include <ddraw.h>

#include "settings/app_state.h"
#include "shell/fatal.h"

static void restore_cursor(HCURSOR kept) {
    ShowCursor(FALSE);
    SetCursor(kept);
}

static HRESULT WINAPI enum_mode_callback(LPDDSURFACEDESC description, LPVOID) {
    // Checked before the mode is looked at: the table keeps the first
    // MAX_MODES accepted modes in the driver's order.
    if (app_state.mode_count == MAX_MODES)
        return DDENUMRET_CANCEL;

    const DDPIXELFORMAT& format = description->ddpfPixelFormat;
    int32_t hicolor;
    if (format.dwFlags & DDPF_PALETTEINDEXED8)
        hicolor = 0;
    else if ((format.dwFlags & DDPF_RGB) && format.dwRGBBitCount == 16)
        hicolor = 1;
    else
        return DDENUMRET_OK;

    app_state.mode_table[app_state.mode_count++] =
        display_mode{static_cast<int32_t>(description->dwWidth),
                     static_cast<int32_t>(description->dwHeight), hicolor};
    return DDENUMRET_OK;
}

static bool mode_is_greater(int i, int j) {
    const display_mode& a = app_state.mode_table[i];
    const display_mode& b = app_state.mode_table[j];
    if (a.width != b.width)
        return a.width > b.width;
    if (a.height != b.height)
        return a.height > b.height;
    return a.hicolor > b.hicolor;
}

static void sort_modes() {
    // Bubble sort: stable, and the table holds at most 50 entries.
    bool swapped = app_state.mode_count >= 2;
    while (swapped) {
        swapped = false;
        for (int i = 0; i + 1 < app_state.mode_count; ++i) {
            if (mode_is_greater(i, i + 1)) {
                display_mode held = app_state.mode_table[i];
                app_state.mode_table[i] = app_state.mode_table[i + 1];
                app_state.mode_table[i + 1] = held;
                swapped = true;
            }
        }
    }
}

void find_display_modes() {
    HCURSOR kept = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    ShowCursor(TRUE);

    LPDIRECTDRAW directdraw = nullptr;
    HRESULT result = DirectDrawCreate(nullptr, &directdraw, nullptr);
    if (result != DD_OK) {
        restore_cursor(kept);
        directdraw_failed("DirectDrawCreate", result);
    }

    result = directdraw->SetCooperativeLevel(app_state.host_window,
                                             DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE | DDSCL_ALLOWMODEX);
    if (result != DD_OK) {
        restore_cursor(kept);
        directdraw_failed("SetCooperativeLevel", result);
    }

    app_state.mode_count = 0;
    result = directdraw->EnumDisplayModes(0, nullptr, nullptr, enum_mode_callback);
    restore_cursor(kept);
    if (result != DD_OK)
        directdraw_failed("EnumDisplayModes", result);

    directdraw->Release();
    // The exclusive cooperative level may have grown the host window.
    MoveWindow(app_state.host_window, 0, 0, 0, 0, FALSE);

    if (app_state.mode_count == 0)
        fatal_error("DirectDraw Error", "No display modes detected!");
    sort_modes();
}
