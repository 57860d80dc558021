// load_cfg_file and save_cfg_file on the largest file the program accepts:
// its two own lines and 50 kept lines of 254 bytes. Also counts the calls
// that allocate heap memory: the loader's one copy per kept line should be
// all there is.
#include <benchmark/benchmark.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <new>

#include "settings/app_state.h"
#include "settings/cfg_file.h"
#include "settings/cfg_text.h"

static long allocation_calls;

// The linker sends the calls of the program's code and the bench's here
// (--wrap), not those inside the C and C++ libraries.
extern "C" {
void* __real_malloc(size_t size);
void* __real_calloc(size_t count, size_t size);
void* __real_realloc(void* block, size_t size);
char* __real_strdup(const char* text);
void* __real__Znwm(size_t size);
void* __real__Znam(size_t size);

void* __wrap_malloc(size_t size) {
    ++allocation_calls;
    return __real_malloc(size);
}
void* __wrap_calloc(size_t count, size_t size) {
    ++allocation_calls;
    return __real_calloc(count, size);
}
void* __wrap_realloc(void* block, size_t size) {
    ++allocation_calls;
    return __real_realloc(block, size);
}
char* __wrap_strdup(const char* text) {
    ++allocation_calls;
    return __real_strdup(text);
}
void* __wrap__Znwm(size_t size) {
    ++allocation_calls;
    return __real__Znwm(size);
}
void* __wrap__Znam(size_t size) {
    ++allocation_calls;
    return __real__Znam(size);
}
}

static const int KEPT_LINE_LENGTH = CFG_LINE_READ_COUNT - 1;
static long file_size;

static bool write_largest_file() {
    FILE* file = fopen("tarro.cfg", "wb");
    if (file == nullptr)
        return false;
    fputs("R640x480x65536 1\r\nV320x200x256 1\r\n", file);
    for (int i = 0; i < MAX_EXTRA_LINES; ++i) {
        char line[KEPT_LINE_LENGTH + 1];
        // A kept line: its first character is neither R nor V.
        snprintf(line, sizeof line, "setting%02d=", i);
        size_t used = strlen(line);
        memset(line + used, 'a' + i % 26, KEPT_LINE_LENGTH - used);
        line[KEPT_LINE_LENGTH] = '\0';
        fputs(line, file);
        fputs("\r\n", file);
    }
    file_size = ftell(file);
    return fclose(file) == 0;
}

static void forget_kept_lines() {
    for (int i = 0; i < app_state.extra_line_count; ++i)
        free(app_state.extra_lines[i]);
    app_state.extra_line_count = 0;
}

static void report(benchmark::State& state, long allocations) {
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * file_size);
    state.counters["allocs/op"] =
        benchmark::Counter(static_cast<double>(allocations), benchmark::Counter::kAvgIterations);
}

// One operation: load the file, then free the 50 copies for the next round
// (the program itself keeps them until it ends).
static void load_largest_file(benchmark::State& state) {
    long before = allocation_calls;
    for (auto _ : state) {
        load_cfg_file();
        if (app_state.extra_line_count != MAX_EXTRA_LINES) {
            state.SkipWithError("the file did not load whole");
            break;
        }
        forget_kept_lines();
    }
    report(state, allocation_calls - before);
}
BENCHMARK(load_largest_file)->UseRealTime();

static void save_largest_file(benchmark::State& state) {
    load_cfg_file();
    long before = allocation_calls;
    for (auto _ : state)
        save_cfg_file();
    report(state, allocation_calls - before);
    forget_kept_lines();
}
BENCHMARK(save_largest_file)->UseRealTime();

int main(int argc, char** argv) {
    // In memory where there is a tmpfs: the figures are the code's, not the
    // disk's (ext4 writes a truncated and rewritten file back at its close).
    char folder[64];
    snprintf(folder, sizeof folder, "%s/cfg_bench.XXXXXX",
             access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp");
    if (mkdtemp(folder) == nullptr || chdir(folder) != 0 || !write_largest_file()) {
        perror("cfg_bench: scratch folder");
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    unlink("tarro.cfg");
    return rmdir(folder) == 0 ? 0 : 1;
}
