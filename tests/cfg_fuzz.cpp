// Arbitrary bytes as tarro.cfg through the real loader and saver, under ASan
// and UBSan: no crash or leak; only "Too many lines!" ends a load, with 50
// lines kept, and a failed copy ends it with "Out of memory!"; what the saver
// writes, loaded and saved again, comes back byte for byte. A disk that fills
// up during a save leaves a file that loads as the old one, and a file that
// could not be read whole is not written over.
#include <errno.h>
#include <setjmp.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <string>

#include "settings/app_state.h"
#include "settings/cfg_file.h"
#include "shell/fatal.h"

static std::string message;
static int failing_malloc;  // counts down to the call that fails; 0: none
static long disk_room = -1; // how large a write may make the file; -1: any
static long readable = -1;  // reads past this offset fail; -1: none do
static bool read_failed;
static FILE* last_opened;

extern "C" void* __real_malloc(size_t size);
extern "C" void* __wrap_malloc(size_t size) {
    return failing_malloc > 0 && --failing_malloc == 0 ? nullptr : __real_malloc(size);
}

extern "C" FILE* __real_fopen(const char* path, const char* mode);
extern "C" FILE* __wrap_fopen(const char* path, const char* mode) {
    return last_opened = __real_fopen(path, mode);
}

// Both stop at a limit as a full disk or a bad sector would: what fits is done.
static size_t limited(long limit, FILE* file, size_t bytes) {
    long at = ftell(file);
    return limit < 0 || at + static_cast<long>(bytes) <= limit ? bytes : std::max(limit - at, 0L);
}

extern "C" size_t __real_fwrite(const void* data, size_t size, size_t count, FILE* file);
extern "C" size_t __wrap_fwrite(const void* data, size_t size, size_t count, FILE* file) {
    size_t bytes = limited(disk_room, file, size * count);
    if (bytes < size * count)
        errno = ENOSPC;
    return __real_fwrite(data, 1, bytes, file) / size;
}

extern "C" size_t __real_fread(void* data, size_t size, size_t count, FILE* file);
extern "C" size_t __wrap_fread(void* data, size_t size, size_t count, FILE* file) {
    size_t bytes = limited(readable, file, size * count);
    read_failed = read_failed || bytes < size * count;
    return __real_fread(data, 1, bytes, file) / size;
}

extern "C" int __real_ferror(FILE* file);
extern "C" int __wrap_ferror(FILE* file) {
    return read_failed || __real_ferror(file);
}

void fatal_error(const char* caption, const char* format, ...) {
    message = std::string(caption) + " | " + format;
    longjmp(app_state.fatal_jump, 1);
}

static void check(bool condition, const char* what) {
    if (!condition)
        fprintf(stderr, "cfg_fuzz: %s\n", what), abort();
}

// Runs a stage as the program does, from fresh settings if asked, and returns
// its message, if any.
static std::string run(void (*stage)(), bool fresh) {
    for (int i = 0; fresh && i < app_state.extra_line_count; ++i)
        free(app_state.extra_lines[i]);
    if (fresh)
        app_state = app_state_record();
    message.clear();
    read_failed = false;
    if (setjmp(app_state.fatal_jump) == 0)
        stage();
    else if (stage == load_cfg_file)
        fclose(last_opened); // the end of the process would close it
    return message;
}

static std::string cfg(const std::string* bytes = nullptr) {
    if (bytes != nullptr)
        std::ofstream("tarro.cfg", std::ios::binary) << *bytes;
    std::ifstream file("tarro.cfg", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

// What a load made of the file.
static std::string loaded() {
    check(run(load_cfg_file, true).empty(), "a file the saver left does not load");
    const app_state_record& s = app_state;
    std::string text = std::to_string(s.page_flipping) + " " + std::to_string(s.scale_videos);
    for (const display_mode& m : {s.game_mode, s.video_mode})
        text += " " + std::to_string(m.width) + "x" + std::to_string(m.height) + "x" +
                std::to_string(m.hicolor);
    for (int i = 0; i < s.extra_line_count; ++i)
        text += std::string("\n") + s.extra_lines[i];
    return text;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const long old_size = static_cast<long>(size);
    const size_t pick = std::hash<std::string>()(input);
    cfg(&input);
    std::string ended = run(load_cfg_file, true);
    int kept = app_state.extra_line_count;
    check(ended.empty() || (ended == "load_cfg_file | Too many lines!" && kept == MAX_EXTRA_LINES),
          "a load ends other than with 50 lines kept and \"Too many lines!\"");
    if (ended.empty()) {
        check(run(save_cfg_file, false).empty(), "the save fails");
        std::string saved = cfg();
        loaded();
        check(run(save_cfg_file, false).empty() && cfg() == saved,
              "saving what was saved changes the file");
        std::string old = (cfg(&input), loaded());

        // The disk held the old file and has room for some of the growth.
        cfg(&input);
        long growth = std::max(static_cast<long>(saved.size()) - old_size, 0L);
        disk_room = old_size + static_cast<long>(pick % (growth + 1));
        run(load_cfg_file, true);
        bool failed = !run(save_cfg_file, false).empty();
        disk_room = -1;
        check(failed ? loaded() == old : cfg() == saved,
              "a save on a full disk leaves other than the old file or the new one");

        // A read error part of the way: the file is left as it is.
        if (size > 0) {
            cfg(&input);
            readable = static_cast<long>(pick % size);
            bool cut = run(load_cfg_file, true).empty() && read_failed;
            readable = -1;
            check(!cut || (run(save_cfg_file, false) ==
                               "save_cfg_file | Unable to write to file 'TARRO.CFG'!" &&
                           cfg() == input),
                  "a file not read whole is written over");
        }
    }
    if (kept > 0) {
        cfg(&input);
        failing_malloc = 1 + static_cast<int>(size % kept);
        int copied = failing_malloc - 1;
        check(run(load_cfg_file, true) == "load_cfg_file | Out of memory!" &&
                  app_state.extra_line_count == copied,
              "a failed copy does not end the load with \"Out of memory!\"");
        failing_malloc = 0;
    }
    run([] {}, true);
    return 0;
}
