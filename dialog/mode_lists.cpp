// The game and video resolution lists, built from the mode table and read back.
#include "dialog/mode_lists.h"

#include "res/resource.h"
#include "settings/app_state.h"
#include "shell/fatal.h"
#include "shell/text_format.h"

// The video list's limits; the game list's are the game's own.
static const int32_t VIDEO_MAX_WIDTH = 640;
static const int32_t VIDEO_MAX_HEIGHT = 480;

// Item data of the video list's "Auto" entry.
static const LRESULT AUTO_ITEM_DATA = -1;

static bool modes_equal(const display_mode& a, const display_mode& b) {
    return a.width == b.width && a.height == b.height && a.hicolor == b.hicolor;
}

static const char* colour_label(int32_t hicolor) {
    return hicolor != 0 ? "65536" : "256";
}

static LRESULT send_list(HWND dialog, int list, UINT message, WPARAM wparam, LPARAM lparam) {
    return SendDlgItemMessageA(dialog, list, message, wparam, lparam);
}

// Appends label to the list, selecting it when mode equals the stored one.
static void add_mode(HWND dialog, int list, const char* label, int index,
                     const display_mode& stored, bool* found) {
    // CB_ERR, or CB_ERRSPACE when the list is out of memory: left out.
    LRESULT item = send_list(dialog, list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(label));
    if (item < 0)
        return;
    if (modes_equal(app_state.mode_table[index], stored)) {
        send_list(dialog, list, CB_SETCURSEL, item, 0);
        *found = true;
    }
    send_list(dialog, list, CB_SETITEMDATA, item, index);
}

void fill_mode_lists(HWND dialog) {
    send_list(dialog, IDC_GAME_RES, CB_RESETCONTENT, 0, 0);
    send_list(dialog, IDC_VIDEO_RES, CB_RESETCONTENT, 0, 0);
    LRESULT item =
        send_list(dialog, IDC_VIDEO_RES, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("Auto"));
    if (item >= 0)
        send_list(dialog, IDC_VIDEO_RES, CB_SETITEMDATA, item, AUTO_ITEM_DATA);

    bool game_found = false;
    bool video_found = false;
    for (int i = 0; i < app_state.mode_count; ++i) {
        const display_mode& mode = app_state.mode_table[i];
        char label[256];
        format_text(label, sizeof label, "%ix%ix%s", mode.width, mode.height,
                    colour_label(mode.hicolor));
        if (mode.width <= GAME_MAX_WIDTH && mode.height <= GAME_MAX_HEIGHT)
            add_mode(dialog, IDC_GAME_RES, label, i, app_state.game_mode, &game_found);
        if (mode.hicolor == 0 && mode.width <= VIDEO_MAX_WIDTH && mode.height <= VIDEO_MAX_HEIGHT)
            add_mode(dialog, IDC_VIDEO_RES, label, i, app_state.video_mode, &video_found);
    }
    if (!game_found)
        send_list(dialog, IDC_GAME_RES, CB_SETCURSEL, 0, 0);
    if (!video_found)
        send_list(dialog, IDC_VIDEO_RES, CB_SETCURSEL, 0, 0);

    if (send_list(dialog, IDC_GAME_RES, CB_GETCOUNT, 0, 0) == 0)
        fatal_error("DirectDraw Error", "No supported display modes where detected!");
}

// The mode_table index behind the list's selection, or -1 when there is none
// or the item data does not name an entry of the table.
static int selected_mode(HWND dialog, int list) {
    LRESULT item = send_list(dialog, list, CB_GETCURSEL, 0, 0);
    LRESULT index = send_list(dialog, list, CB_GETITEMDATA, item, 0);
    if (index < 0 || index >= app_state.mode_count)
        return -1;
    return static_cast<int>(index);
}

void read_mode_lists(HWND dialog) {
    int game = selected_mode(dialog, IDC_GAME_RES);
    if (game >= 0)
        app_state.game_mode = app_state.mode_table[game];

    int video = selected_mode(dialog, IDC_VIDEO_RES);
    if (video >= 0) {
        app_state.video_mode = app_state.mode_table[video];
    } else {
        // "Auto": the depth stays as it was; nothing reads it at width 0.
        app_state.video_mode.width = 0;
        app_state.video_mode.height = 0;
    }
}
