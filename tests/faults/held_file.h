#pragma once

#include <windows.h>

// A file held open by this process the way another program could hold it,
// with GENERIC_READ access; each returns INVALID_HANDLE_VALUE on failure and
// is undone with CloseHandle. Wine running as root ignores the read-only
// attribute, so sharing is how a file is made unwritable or unreadable here.

// Others may read but not write: opening for writing fails.
HANDLE hold_denying_writes(const char* path);

// Others may neither read nor write.
HANDLE hold_denying_all(const char* path);

// Others may write but not read: opening for reading fails, for writing works.
HANDLE hold_denying_reads(const char* path);
