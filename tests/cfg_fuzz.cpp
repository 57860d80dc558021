// Arbitrary bytes as tarro.cfg through the real loader and saver, under ASan
// and UBSan, with a full disk, a file that cannot be read, a failed copy and a
// process ended during a save; the checks say what must hold.
#include <errno.h>
#include <setjmp.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <string>

#include "settings/app_state.h"
#include "settings/cfg_file.h"
#include "shell/fatal.h"

static const std::string UNABLE_TO_WRITE = "save_cfg_file | Unable to write to file 'TARRO.CFG'!";
static std::string message;
static int failing_malloc; // counts down to the call that fails; 0: none
static size_t disk_room;   // the size past which the file cannot grow; 0: no limit
static int unreadable;     // 1: opening for reading fails, 2: reading ends in an error
static int ending_call; // counts down to the save's call on the file before which it ends; 0: none
static FILE* last_opened;

extern "C" {
void* __real_malloc(size_t size);
FILE* __real_fopen(const char* path, const char* mode);
ssize_t __real_write(int file, const void* data, size_t bytes);
off_t __real_lseek(int file, off_t offset, int whence);
int __real_ftruncate(int file, off_t length);
int __real_ferror(FILE* file);

void* __wrap_malloc(size_t size) {
    return failing_malloc > 0 && --failing_malloc == 0 ? nullptr : __real_malloc(size);
}
FILE* __wrap_fopen(const char* path, const char* mode) {
    if (unreadable == 1 && std::string(mode) == "rb")
        return errno = EACCES, nullptr;
    return last_opened = __real_fopen(path, mode);
}
int __wrap_ferror(FILE* file) {
    return unreadable == 2 || __real_ferror(file);
}

// Before each write, seek and cut of the save the process can end: then the
// file is closed, as by the end of a process, and nothing more of the save runs.
static void reach(int file) {
    if (ending_call > 0 && --ending_call == 0)
        message = "ended", close(file), longjmp(app_state.fatal_jump, 1);
}
ssize_t __wrap_write(int file, const void* data, size_t bytes) {
    reach(file);
    // As on a full disk, what fits is written.
    size_t at = __real_lseek(file, 0, SEEK_CUR);
    if (disk_room > 0 && at + bytes > disk_room)
        bytes = std::max(at, disk_room) - at, errno = ENOSPC;
    return __real_write(file, data, bytes);
}
off_t __wrap_lseek(int file, off_t offset, int whence) {
    return reach(file), __real_lseek(file, offset, whence);
}
int __wrap_ftruncate(int file, off_t length) {
    return reach(file), __real_ftruncate(file, length);
}
}

void fatal_error(const char* caption, const char* format, ...) {
    message = std::string(caption) + " | " + format;
    longjmp(app_state.fatal_jump, 1);
}

static void check(bool condition, const char* what) {
    if (!condition)
        fprintf(stderr, "cfg_fuzz: %s\n", what), abort();
}

static std::string cfg() {
    std::ifstream file("tarro.cfg", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

// Runs a stage as the program does and returns its message, if any: a load
// from fresh settings and the given file, a save from the settings as they are.
static std::string run(void (*stage)(), const std::string& file = "") {
    if (stage == load_cfg_file) {
        for (int i = 0; i < app_state.extra_line_count; ++i)
            free(app_state.extra_lines[i]);
        app_state = app_state_record();
        std::ofstream("tarro.cfg", std::ios::binary) << file;
    }
    message.clear();
    if (setjmp(app_state.fatal_jump) == 0)
        stage();
    else if (stage == load_cfg_file)
        fclose(last_opened); // the end of the process would close it
    return message;
}

// What a load makes of a file, as the bytes a save of it writes.
static std::string state_of(const std::string& file) {
    std::string messages = run(load_cfg_file, file);
    messages += run(save_cfg_file);
    return messages + cfg();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::string ended = run(load_cfg_file, input);
    int kept = app_state.extra_line_count;
    check(ended.empty() || (ended == "load_cfg_file | Too many lines!" && kept == MAX_EXTRA_LINES),
          "a load ends other than with 50 lines kept and \"Too many lines!\"");
    if (ended.empty()) {
        check(run(save_cfg_file).empty(), "the save fails");
        std::string saved = cfg();

        // The disk held the old file and has room for some of the growth.
        size_t growth = std::max(saved.size(), size) - size;
        disk_room = size + std::hash<std::string>()(input) % (growth + 1);
        run(load_cfg_file, input);
        bool failed = run(save_cfg_file) == UNABLE_TO_WRITE;
        disk_room = 0;
        check(cfg() == (failed ? input : saved), "a full disk leaves other than old or new bytes");

        unreadable = 1 + static_cast<int>(size % 2);
        bool loaded = run(load_cfg_file, input).empty();
        unreadable = 0;
        check(!loaded || (run(save_cfg_file) == UNABLE_TO_WRITE && cfg() == input),
              "a file not read whole is written over");

        // The process ends before the save's Nth write, seek or cut, for every
        // N; the new settings turn page flipping, the old ones saved as saved.
        run(load_cfg_file, input);
        app_state.page_flipping = !app_state.page_flipping;
        run(save_cfg_file);
        std::string new_state = state_of(cfg());
        for (int call = 1;; ++call) {
            run(load_cfg_file, input);
            app_state.page_flipping = !app_state.page_flipping;
            ending_call = call;
            if (run(save_cfg_file) != "ended")
                break;
            std::string left = state_of(cfg());
            check(left == saved || left == new_state,
                  "a save cut short leaves a file that loads as neither the old nor the new one");
        }
        ending_call = 0;
    }
    if (kept > 0) {
        failing_malloc = 1 + static_cast<int>(size % kept);
        int copied = failing_malloc - 1;
        check(run(load_cfg_file, input) == "load_cfg_file | Out of memory!" &&
                  app_state.extra_line_count == copied,
              "a failed copy does not end the load with \"Out of memory!\"");
        failing_malloc = 0;
    }
    run(load_cfg_file); // frees the kept lines
    return 0;
}
