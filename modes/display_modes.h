#pragma once

#include "shell/platform.h"

#include <ddraw.h>

// Fills app_state.mode_table with the 8-bit palette-indexed and 16-bit RGB
// modes of the primary display driver, at most MAX_MODES, sorted.
void find_display_modes();

HRESULT WINAPI enum_mode_callback(LPDDSURFACEDESC description, LPVOID context);

void sort_modes();
bool mode_is_greater(int i, int j);
