// The display mode catalogue: the modes DirectDraw offers, filtered and sorted.
#include "modes/display_modes.h"

#include <ddraw.h>

#include "settings/app_state.h"
#include "shell/fatal.h"

// Whether the driver reported any 8-bit or 16-bit mode at all, shown in a
// list or not: with none, there is nothing to choose from.
static bool usable_depth_seen;

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
    usable_depth_seen = true;

    // A mode larger than the game's largest would take a place in the table
    // that no list can show, and keep smaller modes out once it is full. The
    // test is the game list's own.
    display_mode mode = {static_cast<int32_t>(description->dwWidth),
                         static_cast<int32_t>(description->dwHeight), hicolor};
    if (mode.width <= GAME_MAX_WIDTH && mode.height <= GAME_MAX_HEIGHT)
        app_state.mode_table[app_state.mode_count++] = mode;
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
    usable_depth_seen = false;
    result = directdraw->EnumDisplayModes(0, nullptr, nullptr, enum_mode_callback);
    restore_cursor(kept);
    if (result != DD_OK)
        directdraw_failed("EnumDisplayModes", result);

    directdraw->Release();
    // The exclusive cooperative level may have grown the host window.
    MoveWindow(app_state.host_window, 0, 0, 0, 0, FALSE);

    // Modes that no list can show leave the table empty without this
    // message; the dialog then says that none of them is supported.
    if (!usable_depth_seen)
        fatal_error("DirectDraw Error", "No display modes detected!");
    sort_modes();
}
