// Arbitrary bytes as tarro.cfg through the real loader and saver, under ASan
// and UBSan: no crash or leak; only "Too many lines!" ends a load, with 50
// lines kept, and a failed copy ends it with "Out of memory!"; what the saver
// writes, loaded and saved again, comes back byte for byte.
#include <setjmp.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "settings/app_state.h"
#include "settings/cfg_file.h"
#include "shell/fatal.h"

static std::string message;
static int failing_malloc; // counts down to the call that fails; 0: none
static FILE* last_opened;

extern "C" void* __real_malloc(size_t size);
extern "C" void* __wrap_malloc(size_t size) {
    return failing_malloc > 0 && --failing_malloc == 0 ? nullptr : __real_malloc(size);
}

extern "C" FILE* __real_fopen(const char* path, const char* mode);
extern "C" FILE* __wrap_fopen(const char* path, const char* mode) {
    return last_opened = __real_fopen(path, mode);
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

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char folder[] = "/tmp/taropts-fuzz-XXXXXX";
    check(mkdtemp(folder) != nullptr && chdir(folder) == 0, "no scratch folder");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    cfg(&input);
    std::string ended = run(load_cfg_file, true);
    int kept = app_state.extra_line_count;
    check(ended.empty() || (ended == "load_cfg_file | Too many lines!" && kept == MAX_EXTRA_LINES),
          "a load ends other than with 50 lines kept and \"Too many lines!\"");
    if (ended.empty()) {
        check(run(save_cfg_file, false).empty(), "the save fails");
        std::string saved = cfg();
        check(run(load_cfg_file, true).empty() && run(save_cfg_file, false).empty() &&
                  cfg() == saved,
              "saving what was saved changes the file");
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
