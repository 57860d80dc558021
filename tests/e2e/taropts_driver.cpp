#include "e2e/taropts_driver.h"

#include <stdio.h>
#include <string.h>

namespace {

constexpr DWORD ANSWER_TIMEOUT_MS = 2000;
constexpr DWORD POLL_MS = 5;

bool starts_with_nocase(const char* text, const char* prefix) {
    return _strnicmp(text, prefix, strlen(prefix)) == 0;
}

std::string narrow(const wchar_t* text) {
    char buffer[1024];
    int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, buffer, sizeof buffer, nullptr, nullptr);
    return length > 0 ? std::string(buffer, length - 1) : std::string();
}

// The answer of another process's window, or fallback when it gives none.
LRESULT ask(HWND window, UINT message, WPARAM wparam, LPARAM lparam, LRESULT fallback) {
    LRESULT answer;
    return send_to(window, message, wparam, lparam, &answer) ? answer : fallback;
}

// The child's environment: this process's, with the test's own settings for
// the driver in place of any inherited ones.
std::string environment_block(const launch_options& options) {
    std::string block;
    char* inherited = GetEnvironmentStringsA();
    for (const char* entry = inherited; *entry != '\0'; entry += strlen(entry) + 1)
        if (!starts_with_nocase(entry, "TAROPTS_TEST_"))
            block.append(entry, strlen(entry) + 1);
    FreeEnvironmentStringsA(inherited);

    auto add = [&block](const char* name, const std::string& value) {
        block += name;
        block += '=';
        block += value;
        block += '\0';
    };
    if (options.modes != nullptr)
        add("TAROPTS_TEST_MODES", options.modes);
    if (options.fail != nullptr)
        add("TAROPTS_TEST_FAIL", options.fail);
    if (!options.log_path.empty())
        add("TAROPTS_TEST_LOG", options.log_path);
    block += '\0';
    return block;
}

bool has_text_static(HWND box) {
    return !message_box_text(box).empty();
}

} // namespace

std::string windows_path(const std::string& unix_path) {
    if (unix_path.empty() || unix_path[0] != '/')
        return unix_path;
    std::string path = "Z:" + unix_path;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

std::string make_scratch_folder(const char* prefix) {
    static int serial;
    char base[MAX_PATH];
    GetTempPathA(sizeof base, base);
    char path[MAX_PATH];
    // Process ids come round again under Wine, so a name may be taken.
    do
        snprintf(path, sizeof path, "%s%s-%lu-%d", base, prefix, GetCurrentProcessId(), ++serial);
    while (!CreateDirectoryA(path, nullptr));
    return path;
}

void remove_folder(const std::string& folder) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string path = folder + "\\" + found.cFileName;
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
                SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(path.c_str());
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(folder.c_str());
}

bool driver_override_in_force() {
    char overrides[1024];
    DWORD length = GetEnvironmentVariableA("WINEDLLOVERRIDES", overrides, sizeof overrides);
    return length > 0 && length < sizeof overrides && strstr(overrides, "ddraw=n,b") != nullptr;
}

bool copy_program(const std::string& folder) {
    return CopyFileA(windows_path(TAROPTS_EXE).c_str(), (folder + "\\taropts.exe").c_str(),
                     FALSE) &&
           CopyFileA(windows_path(DDRAW_STUB).c_str(), (folder + "\\ddraw.dll").c_str(), FALSE);
}

bool start_taropts(const launch_options& options, PROCESS_INFORMATION* process,
                   std::string* error) {
    std::string program = options.program_folder + "\\taropts.exe";
    std::string command_line = "\"" + program + "\"";
    std::string environment = environment_block(options);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    *process = PROCESS_INFORMATION{};
    if (CreateProcessA(program.c_str(), &command_line[0], nullptr, nullptr, FALSE, 0,
                       &environment[0], options.work_folder.c_str(), &startup, process))
        return true;
    char text[128];
    snprintf(text, sizeof text, "CreateProcess of %s failed, error %lu", program.c_str(),
             GetLastError());
    *error = text;
    return false;
}

void end_taropts(PROCESS_INFORMATION* process) {
    if (process->hProcess == nullptr)
        return;
    if (WaitForSingleObject(process->hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process->hProcess, 99);
        WaitForSingleObject(process->hProcess, 5000);
    }
    CloseHandle(process->hThread);
    CloseHandle(process->hProcess);
    *process = PROCESS_INFORMATION{};
}

long wait_for_exit(const PROCESS_INFORMATION& process, DWORD timeout_ms) {
    if (WaitForSingleObject(process.hProcess, timeout_ms) != WAIT_OBJECT_0)
        return -1;
    DWORD code;
    return GetExitCodeProcess(process.hProcess, &code) ? static_cast<long>(code) : -1;
}

seen wait_for_window(const PROCESS_INFORMATION& process, DWORD timeout_ms, HWND* window) {
    *window = nullptr;
    DWORD start = GetTickCount();
    for (;;) {
        if ((*window = find_message_box(process.dwProcessId)) != nullptr)
            return seen::message_box;
        if ((*window = find_options_dialog(process.dwProcessId)) != nullptr) {
            // Visible means past WM_INITDIALOG; the focus settles once the
            // modal loop waits for input.
            WaitForInputIdle(process.hProcess, ANSWER_TIMEOUT_MS);
            sync_with(*window);
            return seen::dialog;
        }
        if (WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0)
            return seen::exited;
        if (GetTickCount() - start > timeout_ms)
            return seen::timed_out;
        Sleep(POLL_MS);
    }
}

struct window_search {
    DWORD process_id;
    std::vector<HWND> windows;
};

static BOOL CALLBACK collect_window(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<window_search*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->process_id)
        search->windows.push_back(window);
    return TRUE;
}

std::vector<HWND> process_windows(DWORD process_id) {
    window_search search = {process_id, {}};
    EnumWindows(collect_window, reinterpret_cast<LPARAM>(&search));
    return search.windows;
}

HWND find_process_window(DWORD process_id, const char* class_name_wanted, const char* title) {
    for (HWND window : process_windows(process_id))
        if (class_name(window) == class_name_wanted &&
            (title == nullptr || window_text(window) == title))
            return window;
    return nullptr;
}

HWND find_options_dialog(DWORD process_id) {
    for (HWND window : process_windows(process_id))
        if (IsWindowVisible(window) && class_name(window) == DIALOG_CLASS &&
            window_text(window) == OPTIONS_CAPTION && !has_text_static(window))
            return window;
    return nullptr;
}

HWND find_message_box(DWORD process_id) {
    for (HWND window : process_windows(process_id))
        if (IsWindowVisible(window) && class_name(window) == DIALOG_CLASS &&
            has_text_static(window))
            return window;
    return nullptr;
}

std::string window_text(HWND window) {
    wchar_t text[512];
    if (GetWindowTextW(window, text, 512) <= 0)
        return std::string();
    return narrow(text);
}

std::string class_name(HWND window) {
    char name[64];
    return GetClassNameA(window, name, sizeof name) > 0 ? name : "";
}

std::string message_box_text(HWND box) {
    for (HWND child = GetWindow(box, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        if (_stricmp(class_name(child).c_str(), "Static") != 0)
            continue;
        std::string text = window_text(child);
        if (!text.empty())
            return text;
    }
    return std::string();
}

std::vector<list_entry> read_list(HWND combo, LRESULT* selection) {
    std::vector<list_entry> entries;
    LRESULT count = ask(combo, CB_GETCOUNT, 0, 0, CB_ERR);
    for (LRESULT i = 0; i < count; ++i) {
        LRESULT length = ask(combo, CB_GETLBTEXTLEN, i, 0, CB_ERR);
        std::string text = "<no text>";
        if (length >= 0 && length < 1000) {
            std::vector<wchar_t> buffer(length + 1);
            if (ask(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(buffer.data()), CB_ERR) >= 0)
                text = narrow(buffer.data());
        }
        entries.push_back({text, ask(combo, CB_GETITEMDATA, i, 0, CB_ERR)});
    }
    *selection = ask(combo, CB_GETCURSEL, 0, 0, CB_ERR);
    return entries;
}

HWND focus_of(HWND window) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    DWORD thread = GetWindowThreadProcessId(window, nullptr);
    return GetGUIThreadInfo(thread, &info) ? info.hwndFocus : nullptr;
}

bool send_to(HWND window, UINT message, WPARAM wparam, LPARAM lparam, LRESULT* answer) {
    DWORD_PTR result = 0;
    bool answered = SendMessageTimeoutW(window, message, wparam, lparam, SMTO_ABORTIFHUNG,
                                        ANSWER_TIMEOUT_MS, &result) != 0;
    *answer = static_cast<LRESULT>(result);
    return answered;
}

bool sync_with(HWND window) {
    LRESULT answer;
    return send_to(window, WM_NULL, 0, 0, &answer);
}
