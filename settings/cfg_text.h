// The text rules of tarro.cfg.
#pragma once

#include <stdint.h>
#include <stdio.h>

// The text rules of tarro.cfg, kept apart from any C library's text mode so
// that every platform reads and writes the file byte for byte alike.

// Room for one line as the loader reads it: at most 254 bytes and the zero.
constexpr int CFG_LINE_BUFFER = 256;
constexpr int CFG_LINE_READ_COUNT = 255;

// The first of these ends the file, for the loader and for any reader in text mode.
constexpr char CFG_END_OF_FILE = 0x1A;

enum cfg_line_kind_t { CFG_EXTRA_LINE, CFG_GAME_LINE, CFG_VIDEO_LINE };

// Reads a file opened in binary mode as text: CR LF becomes LF, a lone CR
// stays, the first 0x1A ends the file. A read error counts as the end.
struct cfg_reader {
    FILE* file;
    unsigned char buffer[512];
    int position;
    int length;
    bool ended;
    int held; // a character read ahead and given back, or EOF for none
};

void cfg_reader_open(cfg_reader* reader, FILE* file);

// As fgets: at most count - 1 bytes, up to and including the next LF. Returns
// how many bytes it stored, 0 when the file is exhausted. NUL bytes are copied as read.
// A longer line comes in several pieces. Unlike fgets, a piece that fills the
// buffer takes an LF right after it as its own line end, so a line of exactly
// count - 1 bytes is not followed by an empty line that would grow the file
// by one line at every save.
int cfg_read_line(cfg_reader* reader, char* line, int count);

// Ends the line at its first CR or LF.
void cfg_cut_line_end(char* line);

cfg_line_kind_t cfg_line_kind(const char* line);

// Scans "%ix%ix%i %i" as the %i conversion reads it. Fields after the point
// where the scan stops are left as they were. Returns how many were set.
int cfg_scan_numbers(const char* text, int32_t* width, int32_t* height, int32_t* colours,
                     int32_t* flag);

// Forms the whole file from app_state, CR LF line ends included. Returns its
// length, or -1 when it does not fit in capacity.
int cfg_format_content(char* out, int capacity);
