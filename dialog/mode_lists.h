#pragma once

#include "shell/platform.h"

constexpr int GAME_MAX_WIDTH = 800;
constexpr int GAME_MAX_HEIGHT = 600;
constexpr int VIDEO_MAX_WIDTH = 640;
constexpr int VIDEO_MAX_HEIGHT = 480;

// Item data of the video list's "Auto" entry.
constexpr LRESULT AUTO_ITEM_DATA = -1;

// Builds both resolution lists from the mode table and selects the entries
// equal to the stored settings; the chosen entries go back on OK.
void fill_mode_lists(HWND dialog);
void read_mode_lists(HWND dialog);
