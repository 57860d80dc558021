// The single-instance guard and the host window.
#pragma once

#include "shell/platform.h"

// Takes the single-instance mutex and creates the invisible window that owns
// the dialog. Returns 0 when the program must stop quietly.
int init_host_window(HINSTANCE instance);
