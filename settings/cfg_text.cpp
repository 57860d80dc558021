// The text rules of tarro.cfg: line ends, line kinds, number scanning and
// the bytes the saver writes.
#include "settings/cfg_text.h"

#include <stdio.h>
#include <string.h>

#include "settings/app_state.h"
#include "shell/text_format.h"

void cfg_reader_open(cfg_reader* reader, FILE* file) {
    reader->file = file;
    reader->position = 0;
    reader->length = 0;
    reader->ended = false;
    reader->held = EOF;
}

static int raw_byte(cfg_reader* reader, bool consume) {
    if (reader->position == reader->length) {
        if (reader->ended)
            return EOF;
        size_t got = fread(reader->buffer, 1, sizeof reader->buffer, reader->file);
        if (got == 0) {
            reader->ended = true;
            return EOF;
        }
        reader->position = 0;
        reader->length = static_cast<int>(got);
    }
    int c = reader->buffer[reader->position];
    if (consume)
        ++reader->position;
    return c;
}

static int cfg_read_char(cfg_reader* reader) {
    if (reader->held != EOF) {
        int c = reader->held;
        reader->held = EOF;
        return c;
    }
    int c = raw_byte(reader, true);
    if (c == CFG_END_OF_FILE) {
        reader->ended = true;
        reader->position = reader->length;
        return EOF;
    }
    if (c == '\r' && raw_byte(reader, false) == '\n') {
        raw_byte(reader, true);
        return '\n';
    }
    return c;
}

int cfg_read_line(cfg_reader* reader, char* line, int count) {
    int used = 0;
    while (used < count - 1) {
        int c = cfg_read_char(reader);
        if (c == EOF)
            break;
        line[used++] = static_cast<char>(c);
        if (c == '\n')
            break;
    }
    if (used == count - 1 && line[used - 1] != '\n') {
        int next = cfg_read_char(reader);
        if (next != '\n')
            reader->held = next;
    }
    line[used] = '\0';
    return used;
}

void cfg_cut_line_end(char* line) {
    line[strcspn(line, "\r\n")] = '\0';
}

cfg_line_kind_t cfg_line_kind(const char* line) {
    // Only a to z change case; bytes from 0x80 up are left alone rather than
    // handed to a locale-dependent toupper.
    int32_t first = static_cast<signed char>(line[0]);
    if (first >= 'a' && first <= 'z')
        first -= 'a' - 'A';
    if (first == 'R')
        return CFG_GAME_LINE;
    if (first == 'V')
        return CFG_VIDEO_LINE;
    return CFG_EXTRA_LINE;
}

static bool is_scan_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

static const char* skip_space(const char* p) {
    while (is_scan_space(*p))
        ++p;
    return p;
}

static int digit_value(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return 99;
}

// One %i field: sign, then 0x hexadecimal, 0 octal or decimal, taken modulo
// 2^32. Returns the position after it, or null when the field fails.
static const char* scan_integer(const char* p, int32_t* value) {
    p = skip_space(p);
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    uint32_t base = 10;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
        base = 16;
        p += 2;
    } else if (p[0] == '0') {
        base = 8;
    }
    uint32_t number = 0;
    int digits = 0;
    for (; static_cast<uint32_t>(digit_value(*p)) < base; ++p, ++digits)
        number = number * base + static_cast<uint32_t>(digit_value(*p));
    if (digits == 0)
        return nullptr;
    *value = static_cast<int32_t>(negative ? 0u - number : number);
    return p;
}

int cfg_scan_numbers(const char* text, int32_t* width, int32_t* height, int32_t* colours,
                     int32_t* flag) {
    int32_t* fields[4] = {width, height, colours, flag};
    const char* p = text;
    for (int i = 0; i < 4; ++i) {
        if (i == 1 || i == 2) {
            if (*p != 'x')
                return i;
            ++p;
        } else if (i == 3) {
            p = skip_space(p);
        }
        p = scan_integer(p, fields[i]);
        if (p == nullptr)
            return i;
    }
    return 4;
}

// Appends text with every LF written as CR LF; false when it does not fit.
static bool append_text(char* out, int capacity, int* length, const char* text) {
    for (; *text != '\0'; ++text) {
        int need = *text == '\n' ? 2 : 1;
        if (*length + need > capacity)
            return false;
        if (*text == '\n')
            out[(*length)++] = '\r';
        out[(*length)++] = *text;
    }
    return true;
}

// A size as the %i scan reads it back: a plain 0 before the x separator
// would start a hexadecimal number ("0x480" is 1152), so zero is written as
// the octal 000, as the "Auto" video line has it.
static const char* size_text(char* buffer, size_t size, int32_t value) {
    if (value == 0)
        return "000";
    format_text(buffer, size, "%i", value);
    return buffer;
}

int cfg_format_content(char* out, int capacity) {
    char line[64];
    char width[16];
    char height[16];
    int length = 0;
    const display_mode& game = app_state.game_mode;
    const display_mode& video = app_state.video_mode;

    format_text(line, sizeof line, "R%sx%sx%i %i\n", size_text(width, sizeof width, game.width),
                size_text(height, sizeof height, game.height), colour_count(game.hicolor),
                app_state.page_flipping);
    if (!append_text(out, capacity, &length, line))
        return -1;

    if (video.width == 0)
        format_text(line, sizeof line, "V000x000x256 %i\n", app_state.scale_videos);
    else
        format_text(line, sizeof line, "V%sx%sx%i %i\n",
                    size_text(width, sizeof width, video.width),
                    size_text(height, sizeof height, video.height), colour_count(video.hicolor),
                    app_state.scale_videos);
    if (!append_text(out, capacity, &length, line))
        return -1;

    for (int i = 0; i < app_state.extra_line_count; ++i) {
        if (!append_text(out, capacity, &length, app_state.extra_lines[i]) ||
            !append_text(out, capacity, &length, "\n"))
            return -1;
    }
    return length;
}
