// The Win32 names the program uses. The settings code also builds natively
// for the sanitizer and fuzzing runs, where it only stores the handles.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
typedef void* HINSTANCE;
typedef void* HWND;
typedef void* HANDLE;
#endif
