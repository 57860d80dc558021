// The one way the program fails: a message box, then the end of the run.
#include "shell/fatal.h"

#include <setjmp.h>
#include <stdarg.h>
#include <stdio.h>

#include "settings/app_state.h"

void fatal_error(const char* caption, const char* format, ...) {
    char text[256];
    va_list arguments;
    va_start(arguments, format);
    _vsnprintf(text, sizeof text - 1, format, arguments);
    va_end(arguments);
    text[sizeof text - 1] = '\0';

    // No owner: the box also comes up when the error is raised while the
    // options dialog is open, and the unwinding then abandons that dialog.
    MessageBoxA(nullptr, text, caption, MB_OK);
    longjmp(app_state.fatal_jump, 1);
}

void directdraw_failed(const char* operation, HRESULT result) {
    fatal_error("DirectDraw Error", "%s Failed (%X)", operation, static_cast<unsigned>(result));
}
