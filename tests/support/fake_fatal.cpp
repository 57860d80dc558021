#include "support/fake_fatal.h"

#include <setjmp.h>
#include <stdarg.h>
#include <stdio.h>

#include "settings/app_state.h"
#include "shell/fatal.h"

fatal_record last_fatal;

void fatal_error(const char* caption, const char* format, ...) {
    char text[256];
    va_list arguments;
    va_start(arguments, format);
    vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    ++last_fatal.count;
    last_fatal.caption = caption;
    last_fatal.text = text;
    longjmp(app_state.fatal_jump, 1);
}

int run_stage(void (*stage)()) {
    if (setjmp(app_state.fatal_jump) != 0)
        return 1;
    stage();
    return 0;
}
