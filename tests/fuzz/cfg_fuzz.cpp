// Arbitrary bytes as tarro.cfg through the real loader and saver. Every input
// is checked against the file's text rules worked out here on their own, then
// saved, loaded and saved again: what the saver writes must be a fixed point.
#include <ctype.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#ifdef _WIN32
#include <direct.h>
#else
#include <unistd.h>
#endif

#include <string>
#include <vector>

#include "faults/left_open.h"
#include "settings/app_state.h"
#include "settings/cfg_file.h"
#include "support/fake_fatal.h"
#include "support/scratch.h"

namespace {

std::string home_folder;

[[noreturn]] void failed(const char* what) {
    fprintf(stderr, "cfg_fuzz: check failed: %s\n", what);
    // The fuzzer writes the input that did it relative to where it started.
    if (chdir(home_folder.c_str()) != 0)
        fprintf(stderr, "cfg_fuzz: cannot go back to %s\n", home_folder.c_str());
    abort();
}

void check(bool condition, const char* what) {
    if (!condition)
        failed(what);
}

enum line_kind_t { GAME_LINE, VIDEO_LINE, EXTRA_LINE };

struct model_line {
    line_kind_t kind;
    std::string text;
};

// What the loader should see in the input: its lines as delivered, up to and
// including a 51st extra line, where the run ends.
struct input_model {
    std::vector<model_line> lines;
    int extra_count;
    bool has_1a, has_lone_cr, has_nul, has_long_line, has_high_byte;
};

void add_piece(input_model& model, const std::string& piece) {
    // Kept as a C string: cut at the first CR or NUL (LF never gets here).
    std::string text = piece.substr(0, piece.find_first_of(std::string("\r\0", 2)));
    char first = text.empty() ? '\0' : text[0];
    line_kind_t kind = EXTRA_LINE;
    if (first == 'R' || first == 'r')
        kind = GAME_LINE;
    else if (first == 'V' || first == 'v')
        kind = VIDEO_LINE;
    if (kind == EXTRA_LINE)
        ++model.extra_count;
    model.lines.push_back(model_line{kind, text});
}

input_model model_input(const uint8_t* data, size_t size) {
    input_model model{};
    std::string text;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0x1A) {
            model.has_1a = true;
            break;
        }
        if (data[i] == '\r' && i + 1 < size && data[i + 1] == '\n')
            continue;
        model.has_lone_cr = model.has_lone_cr || data[i] == '\r';
        model.has_nul = model.has_nul || data[i] == '\0';
        model.has_high_byte = model.has_high_byte || data[i] >= 0x80;
        text += static_cast<char>(data[i]);
    }
    // LF ends a line; a last line without one still counts. A line comes in
    // pieces of at most 254 bytes, and a line of a whole number of pieces
    // gives no empty piece after them.
    size_t start = 0;
    while (start < text.size() && model.extra_count <= MAX_EXTRA_LINES) {
        size_t end = text.find('\n', start);
        size_t next = end == std::string::npos ? text.size() : end + 1;
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(start, end - start);
        start = next;
        model.has_long_line = model.has_long_line || line.size() > 254;
        size_t at = 0;
        do {
            add_piece(model, line.substr(at, 254));
            at += 254;
        } while (at < line.size() && model.extra_count <= MAX_EXTRA_LINES);
    }
    return model;
}

// Where the C library's own %i is known to read a line as the loader must:
// no number long enough to overflow its long, no 0x without a digit after it.
bool library_scan_agrees(const std::string& text) {
    int run = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        bool alnum = (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z');
        run = alnum ? run + 1 : 0;
        if (run > 17)
            return false;
        if (c == '0' && i + 1 < text.size() && (text[i + 1] | 0x20) == 'x' &&
            (i + 2 == text.size() || !isxdigit(static_cast<unsigned char>(text[i + 2]))))
            return false;
    }
    return true;
}

void scan_mode_line(const std::string& text, display_mode* mode, int32_t* flag) {
    int width = mode->width;
    int height = mode->height;
    int colours = mode->hicolor != 0 ? 65536 : 256;
    int flag_value = *flag;
    sscanf(text.c_str() + 1, "%ix%ix%i %i", &width, &height, &colours, &flag_value);
    *mode = display_mode{width, height, colours != 256 ? 1 : 0};
    *flag = flag_value;
}

// The settings the input should give, with sscanf as the scanner. False when
// a game or video line is outside what sscanf is trusted with.
bool expected_settings(const input_model& model, settings* out) {
    settings expected{{0, 0, 0}, {0, 0, 0}, 0, 1, {}};
    for (const model_line& line : model.lines) {
        if (line.kind == EXTRA_LINE) {
            if (expected.extra_lines.size() < MAX_EXTRA_LINES)
                expected.extra_lines.push_back(line.text);
            continue;
        }
        if (!library_scan_agrees(line.text))
            return false;
        if (line.kind == GAME_LINE)
            scan_mode_line(line.text, &expected.game, &expected.page_flipping);
        else
            scan_mode_line(line.text, &expected.video, &expected.scale_videos);
    }
    *out = expected;
    return true;
}

bool same_settings(const settings& a, const settings& b, bool whole_video_mode) {
    bool video_same = a.video.width == b.video.width;
    if (whole_video_mode || a.video.width != 0)
        video_same = video_same && modes_equal(a.video, b.video);
    return modes_equal(a.game, b.game) && video_same && a.page_flipping == b.page_flipping &&
           a.scale_videos == b.scale_videos && a.extra_lines == b.extra_lines;
}

std::vector<std::string> model_extra_lines(const input_model& model) {
    std::vector<std::string> lines;
    for (const model_line& line : model.lines) {
        if (line.kind == EXTRA_LINE && lines.size() < MAX_EXTRA_LINES)
            lines.push_back(line.text);
    }
    return lines;
}

// Counted over all runs and written out at exit for the robustness table.
struct run_counts {
    long runs, too_many_lines, exactly_fifty, fixed_points, settings_checked, not_scannable;
    long with_1a, with_lone_cr, with_nul, with_long_line, with_high_byte, with_own_lines;
};
run_counts counts;

// Each run works in a scratch folder of its own and then goes back, so that
// the fuzzer's corpus and artifact paths may be relative.
std::string scratch_folder;

void enter_folder(const std::string& folder) {
    if (chdir(folder.c_str()) != 0)
        failed("cannot enter the scratch folder");
}

void write_counts() {
    remove((scratch_folder + "/tarro.cfg").c_str());
    rmdir(scratch_folder.c_str());
    const char* path = getenv("TAROPTS_FUZZ_STATS");
    FILE* out = path != nullptr ? fopen(path, "w") : stderr;
    if (out == nullptr)
        return;
    fprintf(out,
            "runs=%ld\ntoo_many_lines=%ld\nexactly_fifty=%ld\nfixed_points=%ld\n"
            "settings_checked=%ld\nnot_scannable=%ld\nwith_1a=%ld\nwith_lone_cr=%ld\n"
            "with_nul=%ld\nwith_long_line=%ld\nwith_high_byte=%ld\nwith_own_lines=%ld\n",
            counts.runs, counts.too_many_lines, counts.exactly_fifty, counts.fixed_points,
            counts.settings_checked, counts.not_scannable, counts.with_1a, counts.with_lone_cr,
            counts.with_nul, counts.with_long_line, counts.with_high_byte, counts.with_own_lines);
    if (out != stderr)
        fclose(out);
}

// TMPDIR lets a long run keep its many small writes in memory.
std::string enter_fuzz_folder() {
#ifdef _WIN32
    return enter_scratch_folder();
#else
    const char* base = getenv("TMPDIR");
    std::string path = std::string(base != nullptr && *base != '\0' ? base : "/tmp");
    path += "/taropts-fuzz-XXXXXX";
    if (mkdtemp(&path[0]) == nullptr || chdir(path.c_str()) != 0)
        failed("no scratch folder");
    return path;
#endif
}

void count_input(const input_model& model) {
    ++counts.runs;
    counts.with_1a += model.has_1a;
    counts.with_lone_cr += model.has_lone_cr;
    counts.with_nul += model.has_nul;
    counts.with_long_line += model.has_long_line;
    counts.with_high_byte += model.has_high_byte;
    counts.exactly_fifty += model.extra_count == MAX_EXTRA_LINES;
    for (const model_line& line : model.lines) {
        if (line.kind != EXTRA_LINE) {
            ++counts.with_own_lines;
            break;
        }
    }
}

// One input: loaded, checked, then saved, loaded and saved again.
void run_one(const uint8_t* data, size_t size) {
    const input_model model = model_input(data, size);
    count_input(model);
    const std::string input(reinterpret_cast<const char*>(data), size);
    reset_app_state();
    last_fatal = fatal_record{};
    write_file("tarro.cfg", input);

    int ended = run_stage(load_cfg_file);
    close_left_open_files();
    check(app_state.extra_line_count >= 0 && app_state.extra_line_count <= MAX_EXTRA_LINES,
          "extra_line_count stays within 0 to 50");
    if (model.extra_count > MAX_EXTRA_LINES) {
        check(ended == 1 && last_fatal.count == 1, "a 51st extra line ends the run");
        check(last_fatal.caption == "load_cfg_file" && last_fatal.text == "Too many lines!",
              "a 51st extra line gives \"Too many lines!\"");
        check(app_state.extra_line_count == MAX_EXTRA_LINES, "fifty lines kept before the end");
        check(read_file("tarro.cfg") == input, "a refused file is left as it was");
        ++counts.too_many_lines;
    } else {
        check(ended == 0 && last_fatal.count == 0, "at most 50 extra lines load");
    }
    const settings loaded = current_settings();
    check(loaded.extra_lines == model_extra_lines(model), "the kept lines are the input's");
    settings expected;
    if (expected_settings(model, &expected)) {
        check(same_settings(loaded, expected, true), "the settings are what sscanf reads");
        ++counts.settings_checked;
    } else {
        ++counts.not_scannable;
    }
    if (ended != 0) {
        reset_app_state();
        return;
    }

    check(run_stage(save_cfg_file) == 0, "the save succeeds");
    const std::string saved = read_file("tarro.cfg");
    std::string kept_text;
    for (const std::string& line : loaded.extra_lines)
        kept_text += line + "\r\n";
    check(saved.size() >= kept_text.size() &&
              saved.compare(saved.size() - kept_text.size(), kept_text.size(), kept_text) == 0,
          "the kept lines are written last, unchanged");
    const size_t game_end = saved.find("\r\n");
    check(saved[0] == 'R' && game_end != std::string::npos && saved[game_end + 2] == 'V' &&
              saved.find("\r\n", game_end + 2) + 2 == saved.size() - kept_text.size(),
          "a game line, a video line, then the kept lines");

    reset_app_state();
    check(run_stage(load_cfg_file) == 0, "the saved file loads");
    check(same_settings(current_settings(), loaded, false), "the saved file reads back the same");
    check(run_stage(save_cfg_file) == 0, "the second save succeeds");
    check(read_file("tarro.cfg") == saved, "saving again writes the same bytes");
    ++counts.fixed_points;
    reset_app_state();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char here[4096];
    if (getcwd(here, sizeof here) == nullptr)
        failed("no current folder");
    home_folder = here;
    scratch_folder = enter_fuzz_folder();
    enter_folder(home_folder);
    atexit(write_counts);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    enter_folder(scratch_folder);
    run_one(data, size);
    enter_folder(home_folder);
    return 0;
}
