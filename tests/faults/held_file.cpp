#include "held_file.h"

static HANDLE hold(const char* path, DWORD sharing) {
    return CreateFileA(path, GENERIC_READ, sharing, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

HANDLE hold_denying_writes(const char* path) {
    return hold(path, FILE_SHARE_READ);
}

HANDLE hold_denying_all(const char* path) {
    return hold(path, 0);
}

HANDLE hold_denying_reads(const char* path) {
    return hold(path, FILE_SHARE_WRITE);
}
