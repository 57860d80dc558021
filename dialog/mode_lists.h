// The game and video resolution lists of the options dialog.
#pragma once

#include "shell/platform.h"

// Builds both resolution lists from the mode table and selects the entries
// equal to the stored settings; the chosen entries go back on OK.
void fill_mode_lists(HWND dialog);
void read_mode_lists(HWND dialog);
