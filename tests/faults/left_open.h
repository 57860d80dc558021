#pragma once

// The loader and saver end a fatal run with their file still open, for the
// end of the process to close. A test that goes on in the same process closes
// it here: under Windows an open file cannot be removed, and it keeps its
// disk space. Needs -Wl,--wrap=fopen -Wl,--wrap=fclose.
void close_left_open_files();
