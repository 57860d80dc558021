#include "left_open.h"

#include <stdio.h>

static FILE* open_files[16];

extern "C" FILE* __real_fopen(const char* path, const char* mode);
extern "C" int __real_fclose(FILE* file);

extern "C" FILE* __wrap_fopen(const char* path, const char* mode) {
    FILE* file = __real_fopen(path, mode);
    for (FILE*& slot : open_files) {
        if (file != nullptr && slot == nullptr) {
            slot = file;
            break;
        }
    }
    return file;
}

extern "C" int __wrap_fclose(FILE* file) {
    for (FILE*& slot : open_files) {
        if (slot == file)
            slot = nullptr;
    }
    return __real_fclose(file);
}

void close_left_open_files() {
    for (FILE* file : open_files) {
        if (file != nullptr)
            __wrap_fclose(file);
    }
}
