// The process-wide record of settings, display modes, kept lines and handles.
#pragma once

#include <setjmp.h>
#include <stdint.h>

#include "shell/platform.h"

constexpr int MAX_MODES = 50;
constexpr int MAX_EXTRA_LINES = 50;

// The largest mode the game runs in; no list can show a larger one.
constexpr int32_t GAME_MAX_WIDTH = 800;
constexpr int32_t GAME_MAX_HEIGHT = 600;

constexpr int32_t DEFAULT_PAGE_FLIPPING = 0;
constexpr int32_t DEFAULT_SCALE_VIDEOS = 1;

struct display_mode {
    int32_t width;
    int32_t height;
    int32_t hicolor; // 0: 8-bit palette-indexed, otherwise 16-bit RGB
};

struct app_state_record {
    HINSTANCE instance;
    HWND host_window;
    HANDLE instance_mutex;
    jmp_buf fatal_jump;

    display_mode mode_table[MAX_MODES];
    int32_t mode_count;

    display_mode game_mode;
    display_mode video_mode;
    int32_t page_flipping = DEFAULT_PAGE_FLIPPING;
    int32_t scale_videos = DEFAULT_SCALE_VIDEOS;

    char* extra_lines[MAX_EXTRA_LINES];
    int32_t extra_line_count;
};

extern app_state_record app_state;

// The colour count that the file names a depth by: 256 or 65536.
int32_t colour_count(int32_t hicolor);

// What the dialog's Defaults button sets.
void apply_default_settings();
