// Starts taropts.exe and the floor programs in turn, from the folder that
// holds this program, and times each from CreateProcess to its dialog being
// up and ready, then from OK to the end of the process.
//
//   measure.exe [RUNS]
//
// All must load the test ddraw.dll beside them (WINEDLLOVERRIDES=ddraw=n,b in
// the environment, which the children inherit), so all see the same display
// modes.
#include <windows.h>

#include <psapi.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static const int WARM_UP_RUNS = 3;
static const int MAX_RUNS = 1000;
static const DWORD READY_TIMEOUT_MS = 20000;

// taropts.exe's dialog and its lists.
static const char OPTIONS_CAPTION[] = "Tarrowind Windows 95 Options";
static const int GAME_LIST = 17;
static const int VIDEO_LIST = 103;

// The configuration file taropts.exe reads, and what it must write on OK.
static const char CFG_BEFORE[] = "r640x480x256 0\nv320x200x256 1\n";
static const char CFG_AFTER[] = "R640x480x256 0\r\nV320x200x256 1\r\n";

struct subject {
    const char* exe;
    const char* caption;
    bool has_lists;
    bool saves;
};

// The program, the floor, and the floor showing the program's own dialog
// template with its lists left empty: the last one tells the cost of the
// dialog that the program must show from the cost of its own code.
static const int SUBJECT_COUNT = 3;
static const subject SUBJECTS[SUBJECT_COUNT] = {
    {"taropts.exe", OPTIONS_CAPTION, true, true},
    {"floor.exe", "Floor", false, false},
    {"floor_options.exe", OPTIONS_CAPTION, false, false},
};

struct run_result {
    double ready_ms;
    double exit_ms;
    double peak_kib;
};

static char folder[MAX_PATH];
static LARGE_INTEGER frequency;

static double elapsed_ms(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
    return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

static bool write_file(const char* name, const char* text) {
    char path[MAX_PATH * 2];
    snprintf(path, sizeof path, "%s\\%s", folder, name);
    FILE* file = fopen(path, "wb");
    if (file == nullptr)
        return false;
    bool written = fwrite(text, 1, strlen(text), file) == strlen(text);
    return fclose(file) == 0 && written;
}

static bool file_equals(const char* name, const char* text) {
    char path[MAX_PATH * 2];
    snprintf(path, sizeof path, "%s\\%s", folder, name);
    FILE* file = fopen(path, "rb");
    if (file == nullptr)
        return false;
    char content[256];
    size_t length = fread(content, 1, sizeof content, file);
    fclose(file);
    return length == strlen(text) && memcmp(content, text, length) == 0;
}

static bool list_filled(HWND dialog, int list) {
    DWORD_PTR count = 0;
    HWND control = GetDlgItem(dialog, list);
    return control != nullptr &&
           SendMessageTimeoutA(control, CB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, 1000, &count) != 0 &&
           static_cast<LRESULT>(count) > 0;
}

// The dialog once it is visible and, for taropts.exe, both lists hold entries.
// Few calls per look, so that the looking takes little from the process
// looked at.
static HWND ready_dialog(const subject& who, DWORD process_id) {
    HWND dialog = nullptr;
    while ((dialog = FindWindowExA(nullptr, dialog, "#32770", who.caption)) != nullptr) {
        DWORD owner = 0;
        GetWindowThreadProcessId(dialog, &owner);
        if (owner == process_id)
            break;
    }
    if (dialog == nullptr || !IsWindowVisible(dialog))
        return nullptr;
    if (who.has_lists && !(list_filled(dialog, GAME_LIST) && list_filled(dialog, VIDEO_LIST)))
        return nullptr;
    return dialog;
}

static bool run_once(const subject& who, run_result* result) {
    if (who.saves && !write_file("tarro.cfg", CFG_BEFORE)) {
        printf("measure: cannot write %s\\tarro.cfg\n", folder);
        return false;
    }
    char command[MAX_PATH * 2];
    snprintf(command, sizeof command, "\"%s\\%s\"", folder, who.exe);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};

    LARGE_INTEGER started;
    LARGE_INTEGER ready;
    LARGE_INTEGER ended;
    QueryPerformanceCounter(&started);
    if (!CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, folder, &startup,
                        &process)) {
        printf("measure: cannot start %s (error %lu)\n", command, GetLastError());
        return false;
    }

    HWND dialog = nullptr;
    for (;;) {
        dialog = ready_dialog(who, process.dwProcessId);
        QueryPerformanceCounter(&ready);
        if (dialog != nullptr)
            break;
        if (WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0 ||
            elapsed_ms(started, ready) > READY_TIMEOUT_MS) {
            DWORD code = 0;
            GetExitCodeProcess(process.hProcess, &code);
            printf("measure: %s never showed its dialog ready (exit code %lu)\n", who.exe, code);
            TerminateProcess(process.hProcess, 3);
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
            return false;
        }
        Sleep(1);
    }

    // The peak so far: the whole start and the dialog.
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof memory;
    bool have_memory = GetProcessMemoryInfo(process.hProcess, &memory, sizeof memory) != 0;

    LARGE_INTEGER ok_pressed;
    QueryPerformanceCounter(&ok_pressed);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
    DWORD waited = WaitForSingleObject(process.hProcess, READY_TIMEOUT_MS);
    QueryPerformanceCounter(&ended);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    if (waited != WAIT_OBJECT_0)
        TerminateProcess(process.hProcess, 3);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);

    if (waited != WAIT_OBJECT_0 || code != 0) {
        printf("measure: %s did not end with 0 after OK (exit code %lu)\n", who.exe, code);
        return false;
    }
    if (who.saves && !file_equals("tarro.cfg", CFG_AFTER)) {
        printf("measure: %s did not save the expected tarro.cfg\n", who.exe);
        return false;
    }
    result->ready_ms = elapsed_ms(started, ready);
    result->exit_ms = elapsed_ms(ok_pressed, ended);
    result->peak_kib = have_memory ? static_cast<double>(memory.PeakWorkingSetSize) / 1024.0 : -1;
    return true;
}

// One run with TAROPTS_TEST_LOG set: each program must list its modes from
// the test driver, or the comparison means nothing.
static bool uses_test_driver(const subject& who) {
    char log[MAX_PATH * 2];
    snprintf(log, sizeof log, "%s\\ddraw-%s.log", folder, who.exe);
    DeleteFileA(log);
    SetEnvironmentVariableA("TAROPTS_TEST_LOG", log);
    run_result ignored;
    bool ran = run_once(who, &ignored);
    SetEnvironmentVariableA("TAROPTS_TEST_LOG", nullptr);
    FILE* file = fopen(log, "rb");
    if (file == nullptr) {
        printf("measure: %s did not load the test ddraw.dll (no %s)\n", who.exe, log);
        return false;
    }
    char line[256];
    int modes = 0;
    while (fgets(line, sizeof line, file) != nullptr)
        modes += strncmp(line, "callback ", 9) == 0;
    fclose(file);
    DeleteFileA(log);
    if (modes == 0)
        printf("measure: %s got no display mode from the test ddraw.dll\n", who.exe);
    return ran && modes > 0;
}

static int compare_doubles(const void* a, const void* b) {
    double x = *static_cast<const double*>(a);
    double y = *static_cast<const double*>(b);
    return (x > y) - (x < y);
}

struct summary {
    double median;
    double low;
    double high;
};

static summary summarize(const double* values, int count) {
    double sorted[MAX_RUNS];
    memcpy(sorted, values, sizeof(double) * count);
    qsort(sorted, count, sizeof(double), compare_doubles);
    double median =
        count % 2 != 0 ? sorted[count / 2] : (sorted[count / 2 - 1] + sorted[count / 2]) / 2.0;
    return summary{median, sorted[0], sorted[count - 1]};
}

static void print_range(const summary& values) {
    char range[32];
    snprintf(range, sizeof range, "%.0f-%.0f", values.low, values.high);
    printf(" %13s", range);
}

// The medians side by side, with the ratios of taropts.exe to each floor, and
// under them the spread.
static void print_row(const char* label, const char* unit, double values[][MAX_RUNS], int runs,
                      bool ratios) {
    summary taropts = summarize(values[0], runs);
    summary floor = summarize(values[1], runs);
    summary options = summarize(values[2], runs);
    printf("%-27s %9.1f %-3s %9.1f %-3s", label, taropts.median, unit, floor.median, unit);
    if (ratios)
        printf(" %6.3f", taropts.median / floor.median);
    else
        printf(" %6s", "");
    printf(" %9.1f %-3s", options.median, unit);
    if (ratios)
        printf(" %6.3f", taropts.median / options.median);
    printf("\n%-27s", "  lowest-highest");
    print_range(taropts);
    print_range(floor);
    printf(" %6s", "");
    print_range(options);
    printf("\n");
}

int main(int argc, char** argv) {
    int runs = argc > 1 ? atoi(argv[1]) : 40;
    if (runs < 1 || runs > MAX_RUNS) {
        printf("usage: measure.exe [RUNS], 1 to %d\n", MAX_RUNS);
        return 2;
    }
    DWORD length = GetModuleFileNameA(nullptr, folder, sizeof folder);
    if (length == 0 || length == sizeof folder || strrchr(folder, '\\') == nullptr) {
        printf("measure: cannot tell its own folder\n");
        return 1;
    }
    *strrchr(folder, '\\') = '\0';
    QueryPerformanceFrequency(&frequency);

    for (const subject& who : SUBJECTS) {
        if (!uses_test_driver(who))
            return 1;
    }

    static double ready[SUBJECT_COUNT][MAX_RUNS];
    static double exit_time[SUBJECT_COUNT][MAX_RUNS];
    static double peak[SUBJECT_COUNT][MAX_RUNS];
    // Alternating, after a few runs that warm the caches, so that a slow
    // phase of the machine hits all alike.
    for (int i = -WARM_UP_RUNS; i < runs; ++i) {
        for (int s = 0; s < SUBJECT_COUNT; ++s) {
            run_result result;
            if (!run_once(SUBJECTS[s], &result))
                return 1;
            if (i < 0)
                continue;
            ready[s][i] = result.ready_ms;
            exit_time[s][i] = result.exit_ms;
            peak[s][i] = result.peak_kib;
        }
    }

    printf("Medians of %d alternating runs each, under Wine:\n", runs);
    printf("%-27s %13s %13s %6s %13s %6s\n", "", "taropts.exe", "floor.exe", "ratio",
           "floor_options", "ratio");
    print_row("start to dialog ready", "ms", ready, runs, true);
    print_row("OK to end (taropts: saved)", "ms", exit_time, runs, false);
    print_row("peak working set at ready", "KiB", peak, runs, true);
    return 0;
}
