// Bounded printf-style formatting.
#pragma once

#include <stddef.h>

// printf-style formatting bounded to the buffer, always terminated. Returns
// the length, or -1 when the text did not fit. On Windows it is msvcrt's own
// formatter, not MinGW's larger replacement.
int format_text(char* buffer, size_t size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
