// Bounded printf-style formatting, the same on every C library.
#include "shell/text_format.h"

#include <stdarg.h>
#include <stdio.h>

int format_text(char* buffer, size_t size, const char* format, ...) {
    if (size == 0)
        return -1;
    va_list arguments;
    va_start(arguments, format);
#ifdef _WIN32
    // _vsnprintf leaves the buffer unterminated when the text fills it.
    int length = _vsnprintf(buffer, size - 1, format, arguments);
    buffer[size - 1] = '\0';
#else
    int length = vsnprintf(buffer, size, format, arguments);
#endif
    va_end(arguments);
    return length >= 0 && static_cast<size_t>(length) < size ? length : -1;
}
