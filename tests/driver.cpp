// Runs one scenario of the table against the real taropts.exe under Wine:
// "driver TABLE SCENARIO FOLDER prepare" puts tarro.cfg in FOLDER.in and prints the
// screen and where the file lies; "run" uses the program in FOLDER and checks what is seen.
#include <windows.h>

#include <stdio.h>
#include <sys/stat.h>
#include <sys/utime.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

static const char* const KEYS[] = {"file",   "where", "driver", "screen",   "modes",  "fail",
                                   "dialog", "game",  "video",  "selected", "checks", "host",
                                   "second", "do",    "box",    "exit",     "after",  "calls"};
static const char* const HELD[] = {"held-none", "held-read", "held-write", "held-both", "mapped"};
static const time_t AGED = 981173106; // an old, exact time, so that any rewrite shows

static std::map<std::string, std::string> row;
static std::string folder, cfg;
static int failures;

static std::string shown(const std::string& bytes) {
    std::string text;
    for (unsigned char c : bytes) {
        char hex[8];
        snprintf(hex, sizeof hex, c == '\r' ? "\\r" : c == '\n' ? "\\n" : "\\x%02x", c);
        text += c >= 32 && c < 127 ? std::string(1, c) : hex;
    }
    return text;
}

static void check(const std::string& what, const std::string& wanted, const std::string& seen) {
    if (wanted != seen && ++failures)
        printf("%s:\n  wanted: %s\n  seen:   %s\n", what.c_str(), shown(wanted).c_str(),
               shown(seen).c_str());
}

// The bytes a file or after value stands for: \r \n \t \\ \xHH, and
// \<TEXT\>N for TEXT N times.
static std::string decode(const char*& p, bool in_group = false) {
    std::string out;
    while (*p != '\0') {
        char c = *p++;
        if (c != '\\' || *p == '\0') {
            out += c;
        } else if ((c = *p++) == '>' && in_group) {
            return out;
        } else if (c == '<') {
            std::string group = decode(p, true);
            for (long n = strtol(p, const_cast<char**>(&p), 10); n > 0; --n)
                out += group;
        } else if (c == 'x') {
            out += static_cast<char>(strtol(std::string(p, 2).c_str(), nullptr, 16));
            p += 2;
        } else {
            out += c == 'r' ? '\r' : c == 'n' ? '\n' : c == 't' ? '\t' : c;
        }
    }
    return out;
}

static std::string read_file(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

// The scenario's lines over the defaults above the first scenario. A key
// that is unknown or given twice is an error that names its line.
static bool read_row(const char* path, const std::string& name) {
    std::map<std::string, std::string> defaults, *into = &defaults;
    std::istringstream table(read_file(path));
    int number = 0;
    for (std::string line; std::getline(table, line) && ++number;) {
        size_t colon = line.find(':');
        std::string key = line.substr(0, colon),
                    text = line.substr(std::min(colon + 2, line.size()));
        const char* p = text.c_str();
        if (key == "scenario")
            into = text == name ? &row : nullptr;
        else if (line.empty() || line[0] == '#' || into == nullptr)
            continue;
        else if (std::find(KEYS, std::end(KEYS), key) == std::end(KEYS) || into->count(key))
            return printf("%s:%d: unknown or repeated key\n", path, number), false;
        else
            (*into)[key] = key == "file" || key == "after" ? decode(p) : text;
    }
    row.insert(defaults.begin(), defaults.end());
    row.insert({"after", row.count("file") ? "unchanged" : "none"});
    return true;
}

static std::string text_of(HWND window) {
    char text[512] = "";
    return GetWindowTextA(window, text, sizeof text), text;
}

// The process's visible options dialog or message box (text id 0xFFFF), or null.
static HWND shown_dialog(DWORD process, bool message_box) {
    HWND window = nullptr;
    DWORD owner = 0;
    while ((window = FindWindowExA(nullptr, window, "#32770", nullptr)) &&
           !(GetWindowThreadProcessId(window, &owner) && owner == process &&
             IsWindowVisible(window) && (GetDlgItem(window, 0xFFFF) != nullptr) == message_box))
        ;
    return window;
}

// "320x200x256 *640x480x256": a list's entries, the selected one marked.
static std::string list_of(HWND dialog, int id) {
    HWND list = GetDlgItem(dialog, id);
    std::string text;
    LRESULT selected = SendMessageW(list, CB_GETCURSEL, 0, 0);
    for (LRESULT i = 0, count = SendMessageW(list, CB_GETCOUNT, 0, 0); i < count; ++i) {
        wchar_t entry[256] = L""; // longer than any label
        SendMessageW(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(entry));
        text += (i ? " " : "") + std::string(i == selected ? "*" : "") +
                std::string(entry, entry + wcslen(entry));
    }
    return text;
}

static std::string selected_in(const std::string& list) {
    size_t at = list.find('*') + 1; // 0 when nothing is selected
    return at ? list.substr(at, list.find(' ', at) - at) : "";
}

static HWND focus_of(HWND window) {
    GUITHREADINFO info = {sizeof info};
    GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info);
    return info.hwndFocus;
}

// The program started in the scenario's folder, or null.
static HANDLE start(const std::string& program) {
    STARTUPINFOA startup = {sizeof startup};
    PROCESS_INFORMATION started = {};
    CreateProcessA(program.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                   &startup, &started);
    return started.hProcess;
}

static DWORD exit_code(HANDLE process) {
    DWORD code = STILL_ACTIVE;
    WaitForSingleObject(process, 10000);
    GetExitCodeProcess(process, &code);
    TerminateProcess(process, 99);
    return code;
}

// What the options dialog shows under one of the table's keys.
static std::string observe(const std::string& key, HWND dialog, const std::string& program) {
    if (key == "game" || key == "video")
        return list_of(dialog, key == "game" ? 17 : 103);
    if (key == "selected")
        return "game=" + selected_in(list_of(dialog, 17)) +
               " video=" + selected_in(list_of(dialog, 103));
    if (key == "checks")
        return "page=" + std::to_string(SendMessageW(GetDlgItem(dialog, 101), BM_GETCHECK, 0, 0)) +
               " scale=" + std::to_string(SendMessageW(GetDlgItem(dialog, 105), BM_GETCHECK, 0, 0));
    if (key == "second") // the exit code of another instance started meanwhile
        return std::to_string(exit_code(start(program)));
    if (key == "host") { // the dialog's owner, which gives the program its taskbar button
        HWND host = GetWindow(dialog, GW_OWNER);
        RECT r = {};
        GetWindowRect(host, &r);
        // Disabled while the dialog is up; a keyboard menu would not return.
        EnableWindow(host, TRUE);
        LRESULT answer = SendMessageW(host, WM_SYSCOMMAND, SC_KEYMENU, 0);
        EnableWindow(host, FALSE);
        return std::string(IsWindowVisible(host) ? "visible, " : "hidden, ") +
               (IsRectEmpty(&r) ? "empty, " : "not empty, ") + "keyboard menu " +
               std::to_string(answer);
    }
    bool close_box = GetWindowLongA(dialog, GWL_STYLE) & WS_SYSMENU;
    bool ok_default =
        (GetWindowLongA(GetDlgItem(dialog, IDOK), GWL_STYLE) & 0xF) == BS_DEFPUSHBUTTON;
    return text_of(dialog) + (close_box ? ", close box" : "") + (ok_default ? ", OK default" : "") +
           ", focus on " + std::to_string(GetDlgCtrlID(focus_of(dialog)));
}

static void do_step(const std::string& step, HWND dialog) {
    std::string verb = step.substr(0, step.find(' '));
    std::string what = step.size() > verb.size() ? step.substr(verb.size() + 1) : "";
    if (verb == "game" || verb == "video") {
        HWND list = GetDlgItem(dialog, verb == "game" ? 17 : 103);
        std::wstring label(what.begin(), what.end());
        LRESULT at = SendMessageW(list, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                  reinterpret_cast<LPARAM>(label.c_str()));
        at < 0 ? check(step, "an entry", "none") : (void)SendMessageW(list, CB_SETCURSEL, at, 0);
    } else {
        HWND button = FindWindowExA(dialog, nullptr, "Button", what.c_str());
        verb == "click" && button ? (void)SendMessageW(button, BM_CLICK, 0, 0)
                                  : check(step, "a button", "none");
    }
}

// tarro.cfg as the run left it: "unchanged" when it has the old bytes and time.
static std::string cfg_state() {
    struct _stat status;
    if (_stat(cfg.c_str(), &status) != 0)
        return "none";
    if (status.st_mode & _S_IFDIR)
        return "a folder";
    std::string bytes = read_file(cfg);
    return bytes == row["file"] && status.st_mtime == AGED ? "unchanged" : bytes;
}

static void run(const std::string& program) {
    std::string log = folder + ".log", where = row["where"];
    SetEnvironmentVariableA("TAROPTS_MODES", row["modes"].c_str());
    SetEnvironmentVariableA("TAROPTS_FAIL", row["fail"].c_str());
    SetEnvironmentVariableA("TAROPTS_LOG", log.c_str());
    // Another program has the file open for reading and shares it as named,
    // or shares both and maps a read-only view of it.
    DWORD held_as = std::find(HELD, std::end(HELD), where) - HELD;
    DWORD share = held_as == 4 ? FILE_SHARE_READ | FILE_SHARE_WRITE : held_as;
    HANDLE held = held_as > 4 ? INVALID_HANDLE_VALUE
                              : CreateFileA(cfg.c_str(), GENERIC_READ, share, nullptr,
                                            OPEN_EXISTING, 0, nullptr);
    if (held_as == 4)
        MapViewOfFile(CreateFileMappingA(held, nullptr, PAGE_READONLY, 0, 0, nullptr),
                      FILE_MAP_READ, 0, 0, 0);
    // Wine has been seen to refuse a start once on a loaded machine.
    HANDLE process = start(program);
    if (!process &&
        (printf("start: error %lu\n", GetLastError()), Sleep(1000), !(process = start(program))))
        return check("start", program, "error " + std::to_string(GetLastError()));
    DWORD started = GetTickCount(), id = GetProcessId(process);
    HWND dialog, box = nullptr;
    while (!(dialog = shown_dialog(id, false)) && !(box = shown_dialog(id, true)) &&
           WaitForSingleObject(process, 2) && GetTickCount() - started < 20000)
        ;
    if (dialog != nullptr) {
        // Up once the modal loop waits for input, with the focus on the first tab stop.
        WaitForInputIdle(process, 10000);
        for (DWORD t = GetTickCount(); !focus_of(dialog) && GetTickCount() - t < 10000;)
            Sleep(1);
        printf("ready %lu ms\n", GetTickCount() - started);
        for (const char* key : {"dialog", "game", "video", "selected", "checks", "host", "second"})
            if (row.count(key))
                check(key, row[key], observe(key, dialog, program));
        std::istringstream steps(row["do"]);
        for (std::string step; std::getline(steps >> std::ws, step, ';');)
            do_step(step, dialog);
        DWORD ended = GetTickCount();
        while (!(box = shown_dialog(id, true)) && WaitForSingleObject(process, 2) &&
               GetTickCount() - ended < 10000)
            ;
        printf("end %lu ms\n", GetTickCount() - ended);
    }
    // No icon, and unowned, so that it comes up over a dialog that is abandoned.
    check("message box", row["box"],
          box ? text_of(box) + " | " + text_of(GetDlgItem(box, 0xFFFF)) +
                    (SendMessageW(GetDlgItem(box, 0x440), STM_GETICON, 0, 0) ? " (icon)" : "") +
                    (GetWindow(box, GW_OWNER) ? " (owned)" : "")
              : "none");
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    check("exit code", row["exit"], std::to_string(exit_code(process)));
    CloseHandle(held);

    check("tarro.cfg", row["after"], cfg_state());
    std::string calls = read_file(log);
    check("display driver calls", row["calls"], calls.substr(0, calls.find_last_not_of(' ') + 1));
}

int main(int argc, char** argv) {
    if (argc != 5 || !read_row(argv[1], argv[2]))
        return 2;
    bool preparing = std::string(argv[4]) == "prepare";
    folder = argv[3] + std::string(preparing ? ".in" : "");
    cfg = folder + "/tarro.cfg";
    if (!preparing) {
        const char* program = getenv("TAROPTS_PROGRAM"); // another program to time, for the bench
        run(program ? program : row["driver"] == "wine" ? TAROPTS_EXE : TAROPTS_STUB_EXE);
        return failures != 0;
    }
    if (row.count("file")) {
        std::ofstream(cfg, std::ios::binary) << row["file"];
        _utimbuf times = {AGED, AGED};
        _utime(cfg.c_str(), &times);
    }
    printf("%s %s\n", row["screen"].c_str(), row["where"].c_str());
    return 0;
}
