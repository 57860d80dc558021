// fatal_error for the bench: a fatal error there means the bench is broken.
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>

#include "shell/fatal.h"

void fatal_error(const char* caption, const char* format, ...) {
    fprintf(stderr, "cfg_bench: fatal error: %s: ", caption);
    va_list arguments;
    va_start(arguments, format);
    vfprintf(stderr, format, arguments);
    va_end(arguments);
    fputc('\n', stderr);
    exit(1);
}
