// Loads tarro.cfg into the settings and saves them back, keeping the lines
// that the program does not own.
#include "settings/cfg_file.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "settings/app_state.h"
#include "settings/cfg_text.h"
#include "shell/fatal.h"

static const char CFG_FILE_NAME[] = "tarro.cfg";

// The longest file the saver writes: two owned lines and 50 kept lines of 254
// bytes, each with CR LF.
static const int CFG_CONTENT_MAX = 2 * 48 + MAX_EXTRA_LINES * (254 + 2);

// A fatal error leaves the file open for the end of the process to close;
// keeping it here keeps it reachable until then.
static FILE* open_cfg_file;

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
    fclose(open_cfg_file);
    open_cfg_file = nullptr;
}

[[noreturn]] static void unable_to_write() {
    fatal_error("save_cfg_file", "Unable to write to file 'TARRO.CFG'!");
}

void save_cfg_file() {
    // The whole file is formed first, so the old one is truncated only when
    // the new bytes are ready to go.
    static char content[CFG_CONTENT_MAX];
    int length = cfg_format_content(content, sizeof content);
    if (length < 0 || (open_cfg_file = fopen(CFG_FILE_NAME, "wb")) == nullptr)
        unable_to_write();

    // fclose can report success although its own final flush failed, so the
    // flush is checked on its own.
    bool written = fwrite(content, 1, length, open_cfg_file) == static_cast<size_t>(length);
    written = fflush(open_cfg_file) == 0 && written;
    if (!written)
        unable_to_write();
    FILE* file = open_cfg_file;
    open_cfg_file = nullptr;
    if (fclose(file) != 0)
        unable_to_write();
}
