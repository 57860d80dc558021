// Loads tarro.cfg into the settings and saves them back, keeping the lines
// that the program does not own.
#include "settings/cfg_file.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#define O_BINARY 0
#endif

#include "settings/app_state.h"
#include "settings/cfg_text.h"
#include "shell/fatal.h"

static const char CFG_FILE_NAME[] = "tarro.cfg";

// The longest file the saver writes: two owned lines and 50 kept lines of 254
// bytes, each with CR LF.
static const int CFG_CONTENT_MAX = 2 * 48 + MAX_EXTRA_LINES * (254 + 2);

// A fatal error during the load leaves the file open for the end of the
// process to close; keeping it here keeps it reachable until then.
static FILE* open_cfg_file;

// Set when the file is there but the load could not read it whole: the save
// would replace it with what little was read.
static bool cfg_not_read_whole;

// Exactly 256 colours is the 8-bit mode; any other count means 16-bit.
static int32_t hicolor_from_colour_count(int32_t count) {
    return count != 256 ? 1 : 0;
}

static void read_mode_line(const char* text, display_mode* mode, int32_t* flag) {
    // Fields the scan does not reach keep the mode's current values.
    int32_t width = mode->width;
    int32_t height = mode->height;
    int32_t colours = colour_count(mode->hicolor);
    cfg_scan_numbers(text, &width, &height, &colours, flag);
    *mode = display_mode{width, height, hicolor_from_colour_count(colours)};
}

static void keep_extra_line(const char* line) {
    if (app_state.extra_line_count == MAX_EXTRA_LINES)
        fatal_error("load_cfg_file", "Too many lines!");
    char* copy = static_cast<char*>(malloc(strlen(line) + 1));
    if (copy == nullptr)
        fatal_error("load_cfg_file", "Out of memory!");
    strcpy(copy, line);
    app_state.extra_lines[app_state.extra_line_count++] = copy;
}

void load_cfg_file() {
    app_state.extra_line_count = 0;
    open_cfg_file = fopen(CFG_FILE_NAME, "rb");
    cfg_not_read_whole = open_cfg_file == nullptr && errno != ENOENT;
    if (open_cfg_file == nullptr)
        return;

    static cfg_reader reader;
    cfg_reader_open(&reader, open_cfg_file);
    char line[CFG_LINE_BUFFER];
    while (cfg_read_line(&reader, line, CFG_LINE_READ_COUNT) > 0) {
        cfg_cut_line_end(line);
        switch (cfg_line_kind(line)) {
        case CFG_GAME_LINE:
            read_mode_line(line + 1, &app_state.game_mode, &app_state.page_flipping);
            break;
        case CFG_VIDEO_LINE:
            read_mode_line(line + 1, &app_state.video_mode, &app_state.scale_videos);
            break;
        case CFG_EXTRA_LINE:
            keep_extra_line(line);
            break;
        }
    }
    cfg_not_read_whole = ferror(open_cfg_file) != 0;
    fclose(open_cfg_file);
    open_cfg_file = nullptr;
}

[[noreturn]] static void unable_to_write() {
    fatal_error("save_cfg_file", "Unable to write to file 'TARRO.CFG'!");
}

static int cut_file(int file, long length) {
#ifdef _WIN32
    return _chsize(file, length);
#else
    return ftruncate(file, length);
#endif
}

// Writes content over the file in place, so that a process ended between any
// two of these calls leaves a file that loads as the old one or the new one.
// The file first grows to the new length with end-of-file marks, so that it
// still reads as the old one while a full disk can stop the save; the content
// then goes into room the file already has. Each write is one call to the
// system: a stream would not promise that (msvcrt's unbuffered stream writes
// an odd last byte on its own). False when something failed; a file that
// could not grow is cut back to its old length. content has room for a mark
// after its length.
static bool write_over(int file, char* content, long length) {
    static char marks[CFG_CONTENT_MAX];
    memset(marks, CFG_END_OF_FILE, sizeof marks);
    long old_length = lseek(file, 0, SEEK_END);
    if (old_length < 0)
        return false;
    if (length > old_length) {
        long growth = length - old_length;
        if (write(file, marks, growth) != growth) {
            cut_file(file, old_length);
            return false;
        }
    }
    // Shorter content takes its end-of-file mark in the same write, so that
    // no moment leaves it followed by the old file's tail.
    content[length] = CFG_END_OF_FILE;
    long count = length < old_length ? length + 1 : length;
    if (lseek(file, 0, SEEK_SET) != 0 || write(file, content, count) != count)
        return false;
    // The file already reads as the new one: the cut only tidies, and is
    // refused while another program maps the file.
    if (length < old_length)
        cut_file(file, length);
    return true;
}

void save_cfg_file() {
    // The whole file is formed before the old one is touched.
    static char content[CFG_CONTENT_MAX + 1];
    int length = cfg_format_content(content, CFG_CONTENT_MAX);
    if (length < 0 || cfg_not_read_whole)
        unable_to_write();

    // Written in place, not replaced: the file keeps its attributes and any
    // other name it has, and Windows 95 cannot rename over a file.
    bool made = false;
    int file = open(CFG_FILE_NAME, O_RDWR | O_BINARY);
    if (file < 0 && errno == ENOENT) {
        file = open(CFG_FILE_NAME, O_RDWR | O_BINARY | O_CREAT | O_EXCL, S_IREAD | S_IWRITE);
        made = true;
    }
    if (file < 0)
        unable_to_write();
    bool written = write_over(file, content, length);
    if (close(file) != 0 || !written) {
        // A file this save made is not left behind half-written.
        if (made)
            remove(CFG_FILE_NAME);
        unable_to_write();
    }
}
