// The options dialog procedure and its results.
#pragma once

#include "shell/platform.h"

// The dialog's result: WinMain saves only after OK.
constexpr INT_PTR OPTIONS_OK = 0;
constexpr INT_PTR OPTIONS_CANCEL = 1;

INT_PTR CALLBACK options_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
