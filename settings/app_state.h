#pragma once

#include <setjmp.h>
#include <stdint.h>

#include "shell/platform.h"

constexpr int MAX_MODES = 50;
constexpr int MAX_EXTRA_LINES = 50;

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
    int32_t page_flipping;
    int32_t scale_videos;

    char* extra_lines[MAX_EXTRA_LINES];
    int32_t extra_line_count;
};

extern app_state_record app_state;

bool modes_equal(const display_mode& a, const display_mode& b);

int32_t colour_count(int32_t hicolor);
int32_t hicolor_from_colour_count(int32_t count);
const char* colour_label(int32_t hicolor);

// What the dialog's Defaults button sets.
void apply_default_settings();
