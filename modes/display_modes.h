// The display mode catalogue.
#pragma once

// Fills app_state.mode_table with the 8-bit palette-indexed and 16-bit RGB
// modes of the primary display driver that a list can show, at most
// MAX_MODES, sorted.
void find_display_modes();
