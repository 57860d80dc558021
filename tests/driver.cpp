// Runs one scenario of the table against the real taropts.exe under Wine: puts
// its tarro.cfg in place, starts the program there, looks at the dialog and
// uses it as a player would, then checks the message box, the exit code, the
// file and the display driver's log. Prints how long the dialog took to be
// ready and the program to end.
//   driver TABLE SCENARIO FOLDER prepare|run
#include <windows.h>

#include <psapi.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/utime.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

static const char TYPICAL[] = "320x200x8 320x200x16 320x200x32 320x240x8 320x240x16 320x240x32 "
                              "512x384x8 512x384x16 640x400x8 640x400x16 640x480x8 640x480x16 "
                              "640x480x32 800x600x8 800x600x16 800x600x32 1024x768x8 1024x768x16 "
                              "1280x1024x8 1280x1024x16";
static const time_t AGED = 981173106; // an old, exact time, so that any rewrite shows

static std::map<std::string, std::string> row;
static std::string folder, cfg;
static int failures;

static void check(const std::string& what, const std::string& wanted, const std::string& seen) {
    if (wanted == seen)
        return;
    std::string shown[2];
    for (int i = 0; i < 2; ++i)
        for (unsigned char c : i ? seen : wanted) {
            char hex[8];
            snprintf(hex, sizeof hex, c == '\r' ? "\\r" : c == '\n' ? "\\n" : "\\x%02x", c);
            shown[i] += c >= 32 && c < 127 ? std::string(1, c) : hex;
        }
    printf("%s:\n  wanted: %s\n  seen:   %s\n", what.c_str(), shown[0].c_str(), shown[1].c_str());
    ++failures;
}

// The bytes a table value stands for: \r \n \t \\ \xHH, and \<TEXT\>N for TEXT N times.
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

static bool has(const char* key) {
    return row.count(key) != 0;
}

static std::string field(const char* key, const char* absent = "") {
    return has(key) ? row[key] : absent;
}

static std::string value(const char* key) {
    std::string text = field(key);
    const char* p = text.c_str();
    return decode(p);
}

static std::string windows_path(std::string path) {
    for (char& c : path)
        c = c == '/' ? '\\' : c;
    return path[0] == '\\' ? "Z:" + path : path;
}

static std::string read_file(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

static std::string text_of(HWND window) {
    wchar_t text[512] = L"";
    char narrow[1024] = "";
    GetWindowTextW(window, text, 512);
    WideCharToMultiByte(CP_UTF8, 0, text, -1, narrow, sizeof narrow, nullptr, nullptr);
    return narrow;
}

static LRESULT ask(HWND window, UINT message, WPARAM wparam = 0, LPARAM lparam = 0) {
    DWORD_PTR answer = 0; // -99: no answer in time
    return SendMessageTimeoutW(window, message, wparam, lparam, SMTO_ABORTIFHUNG, 10000, &answer)
               ? static_cast<LRESULT>(answer)
               : -99;
}

// The child of a message box that holds its text; null in other dialogs.
static HWND box_text(HWND window) {
    HWND child = nullptr;
    while ((child = FindWindowExA(window, child, "Static", nullptr)) && text_of(child).empty())
        ;
    return child;
}

// The process's visible dialog, the message box or the other one, or null.
static HWND shown_dialog(DWORD process, bool message_box) {
    HWND window = nullptr;
    DWORD owner = 0;
    while ((window = FindWindowExA(nullptr, window, "#32770", nullptr)) &&
           !(GetWindowThreadProcessId(window, &owner) && owner == process &&
             IsWindowVisible(window) && (box_text(window) != nullptr) == message_box))
        ;
    return window;
}

// "*320x200x256 640x480x256": a list's entries, the selected one marked.
static std::string list_of(HWND dialog, int id) {
    HWND list = GetDlgItem(dialog, id);
    std::string text;
    LRESULT selected = ask(list, CB_GETCURSEL);
    for (LRESULT i = 0, count = ask(list, CB_GETCOUNT); i < count; ++i) {
        wchar_t entry[64] = L"";
        if (ask(list, CB_GETLBTEXTLEN, i) < 64)
            ask(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(entry));
        text += (i ? " " : "") + std::string(i == selected ? "*" : "") +
                std::string(entry, entry + wcslen(entry));
    }
    return text;
}

static HWND focus_of(HWND window) {
    GUITHREADINFO info = {sizeof info};
    GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info);
    return info.hwndFocus;
}

static bool start(const std::string& program, PROCESS_INFORMATION* process) {
    STARTUPINFOA startup = {sizeof startup};
    std::string command = "\"" + program + "\"";
    return CreateProcessA(program.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                          folder.c_str(), &startup, process);
}

static DWORD exit_code(HANDLE process, DWORD wait_ms) {
    DWORD code = STILL_ACTIVE;
    WaitForSingleObject(process, wait_ms);
    GetExitCodeProcess(process, &code);
    TerminateProcess(process, 99);
    return code;
}

// The invisible host window: its class, title, size and styles, its
// ownership of the dialog, and no keyboard menu.
static void host_window(HWND dialog) {
    HWND host = GetWindow(dialog, GW_OWNER);
    RECT r = {};
    GetWindowRect(host, &r);
    char seen[200], name[32] = "";
    GetClassNameA(host, name, sizeof name);
    // The dialog disables its owner while it is up.
    snprintf(seen, sizeof seen, "%s '%s' %ld,%ld,%ld,%ld style %lx ex %lx", name,
             text_of(host).c_str(), r.left, r.top, r.right, r.bottom,
             GetWindowLongA(host, GWL_STYLE) & ~WS_CLIPSIBLINGS, GetWindowLongA(host, GWL_EXSTYLE));
    check("host window", "TAROPTS 'Tarrowind Windows 95 Options' 0,0,0,0 style 98080000 ex 20",
          seen);
    EnableWindow(host, TRUE);
    LRESULT answer = ask(host, WM_SYSCOMMAND, SC_KEYMENU, 0);
    HWND menu = FindWindowA("#32768", nullptr);
    EnableWindow(host, FALSE);
    check("keyboard menu", "0, no menu",
          std::to_string(answer) + (menu && IsWindowVisible(menu) ? ", a menu" : ", no menu"));
}

static void do_step(const std::string& step, HWND dialog, const std::string& program) {
    std::string verb = step.substr(0, step.find(' '));
    std::string what = step.size() > verb.size() ? step.substr(verb.size() + 1) : "";
    if (verb == "game" || verb == "video") {
        HWND list = GetDlgItem(dialog, verb == "game" ? 17 : 103);
        std::wstring label(what.begin(), what.end());
        LRESULT at = ask(list, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                         reinterpret_cast<LPARAM>(label.c_str()));
        at < 0 ? check(step, "an entry", "none") : (void)ask(list, CB_SETCURSEL, at);
    } else if (verb == "click") {
        HWND button = FindWindowExA(dialog, nullptr, "Button", what.c_str());
        button ? (void)ask(button, BM_CLICK) : check(step, "a button", "none");
    } else if (verb == "key") {
        WPARAM key = what == "Esc" ? VK_ESCAPE : VK_RETURN;
        PostMessageA(focus_of(dialog), WM_KEYDOWN, key, 1);
        PostMessageA(focus_of(dialog), WM_KEYUP, key, 0xC0000001);
    } else if (verb == "second") {
        // It ends at once with code 0, before it could show anything.
        PROCESS_INFORMATION second = {};
        start(program, &second);
        check(step, "exit 0", "exit " + std::to_string(exit_code(second.hProcess, 10000)));
    } else if (verb == "host") {
        host_window(dialog);
    } else {
        check("step", "a known step", step);
    }
}

static void prepare() {
    if (field("where") == "folder")
        CreateDirectoryA(cfg.c_str(), nullptr);
    if (!has("file"))
        return;
    std::ofstream(cfg, std::ios::binary) << value("file");
    _utimbuf times = {AGED, AGED};
    _utime(cfg.c_str(), &times);
}

static std::string cfg_state() {
    struct _stat status;
    if (_stat(cfg.c_str(), &status) != 0)
        return "none";
    if (status.st_mode & _S_IFDIR)
        return "a folder";
    std::string bytes = read_file(cfg);
    return bytes == value("file") && status.st_mtime == AGED ? "unchanged" : bytes;
}

static void run(const std::string& program) {
    std::string log = folder + ".log", modes = field("modes", "typical"), where = field("where");
    for (size_t at; (at = modes.find("typical")) != std::string::npos;)
        modes.replace(at, 7, TYPICAL);
    SetEnvironmentVariableA("TAROPTS_MODES", modes.c_str());
    SetEnvironmentVariableA("TAROPTS_FAIL", field("fail").c_str());
    SetEnvironmentVariableA("TAROPTS_LOG", log.c_str());
    DeleteFileA(log.c_str());
    // held-none, held-read, held-write, held-both: another program has the file
    // open for reading and shares it that way.
    const char* sharing[] = {"held-none", "held-read", "held-write", "held-both"};
    DWORD share = std::find(sharing, sharing + 4, where) - sharing;
    HANDLE held = share == 4 ? INVALID_HANDLE_VALUE
                             : CreateFileA(cfg.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                                           0, nullptr);
    PROCESS_INFORMATION process;
    // Wine has been seen to refuse a start once on a loaded machine.
    if (!start(program, &process) &&
        (printf("start: error %lu\n", GetLastError()), Sleep(1000), !start(program, &process)))
        return check("start", program, "error " + std::to_string(GetLastError()));
    DWORD started = GetTickCount(), id = process.dwProcessId;
    HWND dialog, box = nullptr;
    while (!(dialog = shown_dialog(id, false)) && !(box = shown_dialog(id, true)) &&
           WaitForSingleObject(process.hProcess, 2) && GetTickCount() - started < 20000)
        ;
    if (dialog != nullptr) {
        // Up once the modal loop waits for input, with the focus on the first tab stop.
        WaitForInputIdle(process.hProcess, 10000);
        for (DWORD t = GetTickCount(); !focus_of(dialog) && GetTickCount() - t < 10000;)
            Sleep(1);
        PROCESS_MEMORY_COUNTERS memory = {sizeof memory};
        GetProcessMemoryInfo(process.hProcess, &memory, sizeof memory);
        printf("ready %lu ms, peak memory %lu KiB\n", GetTickCount() - started,
               static_cast<unsigned long>(memory.PeakWorkingSetSize / 1024));
        check("dialog", "Tarrowind Windows 95 Options, focus on 17",
              text_of(dialog) + ", focus on " + std::to_string(GetDlgCtrlID(focus_of(dialog))));
        if (has("game"))
            check("game list", field("game"), list_of(dialog, 17));
        if (has("video"))
            check("video list", field("video"), list_of(dialog, 103));
        if (has("checks"))
            check("check boxes", field("checks"),
                  "page=" + std::to_string(ask(GetDlgItem(dialog, 101), BM_GETCHECK)) +
                      " scale=" + std::to_string(ask(GetDlgItem(dialog, 105), BM_GETCHECK)));
        std::istringstream steps(field("do"));
        for (std::string step; std::getline(steps >> std::ws, step, ';');)
            do_step(step, dialog, program);
        DWORD ended = GetTickCount();
        while (!(box = shown_dialog(id, true)) && WaitForSingleObject(process.hProcess, 2) &&
               GetTickCount() - ended < 10000)
            ;
        printf("end %lu ms\n", GetTickCount() - ended);
    }
    check("message box", field("box", "none"),
          box ? text_of(box) + " | " + text_of(box_text(box)) : "none");
    if (box != nullptr) {
        // Unowned, so that it comes up over a dialog that is abandoned.
        check("message box owner", "none", GetWindow(box, GW_OWNER) ? "a window" : "none");
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    }
    check("exit code", field("exit", "0"), std::to_string(exit_code(process.hProcess, 10000)));
    CloseHandle(held);

    std::string after = has("after")        ? value("after")
                        : where == "folder" ? "a folder"
                        : has("file")       ? "unchanged"
                                            : "none";
    std::string seen = cfg_state();
    // The old bytes, though the file may have been written to.
    if (after == "old bytes")
        after = seen == "unchanged" ? seen : value("file");
    check("tarro.cfg", after, seen);
    std::string calls = read_file(log);
    if (has("calls") || calls.find("[cursor]") != std::string::npos)
        check("display driver calls", field("calls"),
              calls.substr(0, calls.find_last_not_of(' ') + 1));
}

int main(int argc, char** argv) {
    if (argc != 5)
        return printf("usage: driver TABLE SCENARIO FOLDER prepare|run\n"), 2;
    std::istringstream table(read_file(windows_path(argv[1])));
    folder = windows_path(argv[3]);
    cfg = folder + "\\tarro.cfg";
    bool inside = false;
    for (std::string line; std::getline(table, line);) {
        size_t colon = line.find(':');
        std::string key = line.substr(0, colon),
                    text = line.substr(std::min(colon + 2, line.size()));
        if (key == "scenario")
            inside = text == argv[2];
        else if (inside && colon != std::string::npos && line[0] != '#')
            row[key] += text;
    }
    if (row.empty())
        return printf("no scenario '%s'\n", argv[2]), 2;
    if (std::string(argv[4]) == "prepare")
        prepare();
    else if (getenv("TAROPTS_PROGRAM") != nullptr) // another program to time, for the bench
        run(windows_path(getenv("TAROPTS_PROGRAM")));
    else
        run(field("driver") == "wine" ? TAROPTS_EXE : TAROPTS_STUB_EXE);
    return failures != 0;
}
