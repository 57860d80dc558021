// Fatal error reporting.
#pragma once

#include "shell/platform.h"

// Shows a message box with the formatted text and ends the run by unwinding
// to app_state.fatal_jump, which WinMain turns into exit code 1.
[[noreturn]] void fatal_error(const char* caption, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

#ifdef _WIN32
[[noreturn]] void directdraw_failed(const char* operation, HRESULT result);
#endif
