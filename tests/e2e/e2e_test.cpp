// The real taropts.exe, run in a scratch folder with the test display driver
// and driven through its windows from this process.
#include <gtest/gtest.h>

#include <ctype.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "e2e/taropts_driver.h"
#include "support/scratch.h"

namespace {

// The dialog's controls, as the template numbers them.
constexpr int GAME_LIST = 17;
constexpr int VIDEO_LIST = 103;
constexpr int PAGE_FLIP = 101;
constexpr int SCALE_VIDEOS = 105;
constexpr int DEFAULTS = 102;

constexpr DWORD START_TIMEOUT_MS = 10000;
constexpr DWORD EXIT_TIMEOUT_MS = 5000;

// A step of a scenario, done once the dialog is up:
//   "game" / "video" LABEL      select that entry (CB_SETCURSEL)
//   "click" page|scale          click a check box (BM_CLICK)
//   "command" OK|Cancel|Defaults  the button's WM_COMMAND
//   "key" Esc|Enter             the key, posted to the focused control
//   "expect game" / "expect video" LIST, "expect checks" CHECKS
//   "second instance"           start another taropts.exe meanwhile
//   "host window"               look at the host window
struct step {
    const char* verb;
    std::string argument;
};

// Lists are written as "label=item data" words, the selection marked by "*":
// "*Auto=-1 320x200x256=0". Checks as "page=0 scale=1". A log block is a run
// of consecutive lines, "^" tying it to the start and "$" to the end; {host}
// stands for the host window's handle.
struct scenario {
    const char* name;
    std::optional<std::string> input; // tarro.cfg before the run
    std::optional<std::string> modes; // TAROPTS_TEST_MODES; none: the typical list
    const char* fail;                 // TAROPTS_TEST_FAIL
    std::vector<step> steps;
    std::string game_list; // at start; empty: the dialog does not come up
    std::string video_list;
    std::string checks;
    std::string message; // "caption|text" of the message box; empty: none
    long exit_code;
    std::optional<std::string> output; // tarro.cfg after; none: as before
    std::vector<std::string> log;
};

const std::nullopt_t NO_FILE = std::nullopt;
const std::nullopt_t AS_BEFORE = std::nullopt;
const std::nullopt_t TYPICAL = std::nullopt;
const char* const NO_FAILURE = nullptr;
const char NO_DIRECTDRAW[] = "^$";

const char TYPICAL_GAME[] = "*320x200x256=0 320x200x65536=1 320x240x256=2 320x240x65536=3 "
                            "512x384x256=4 512x384x65536=5 640x400x256=6 640x400x65536=7 "
                            "640x480x256=8 640x480x65536=9 800x600x256=10 800x600x65536=11";
const char TYPICAL_VIDEO[] =
    "*Auto=-1 320x200x256=0 320x240x256=2 512x384x256=4 640x400x256=6 640x480x256=8";
const char DEFAULT_CHECKS[] = "page=0 scale=1";

const char LOG_START[] = "^DirectDrawCreate guid=0 outer=0\n"
                         "SetCooperativeLevel window={host} flags=0x51\n"
                         "EnumDisplayModes flags=0x0 template=0 context=0";
const char TYPICAL_END[] = "callback 1280x1024 flags=0x40 bits=32 -> 1\nRelease$";

const char SOME_FILE[] = "R640x480x256 1\r\nV320x200x256 0\r\nkeep me\r\n";

// list with the selection mark moved to the entry labelled label.
std::string selecting(std::string list, const std::string& label) {
    list.erase(std::remove(list.begin(), list.end(), '*'), list.end());
    std::string::size_type at = (" " + list).find(" " + label + "=");
    return at == std::string::npos ? "<no " + label + ">" : list.insert(at, "*");
}

std::string extra_lines(int count) {
    std::string text;
    for (int i = 1; i <= count; ++i)
        text += "extra line " + std::to_string(i) + "\r\n";
    return text;
}

// 60 usable modes, widest first, alternately 8-bit and 16-bit, with a 32-bit
// mode after every seventh: the first 50 accepted ones stay, in reverse.
struct many {
    std::string modes, game_list, video_list, stop, skipped;
};

many many_modes() {
    many m;
    std::vector<std::pair<int, bool>> kept;
    auto report = [&m, &kept](int width, bool usable, bool hicolor, const char* format) {
        char entry[64];
        snprintf(entry, sizeof entry, "%d,100,%s", width, format);
        m.modes += (m.modes.empty() ? "" : ";") + std::string(entry);
        char line[96];
        snprintf(line, sizeof line, "callback %dx100 flags=%s bits=%s", width,
                 strstr(format, "0x20") ? "0x20" : "0x40", strchr(format, ',') + 1);
        if (kept.size() == 50 && m.stop.empty())
            m.stop = line + std::string(" -> 0");
        else if (usable && kept.size() < 50)
            kept.push_back({width, hicolor});
        else if (!usable && m.skipped.empty())
            m.skipped = line + std::string(" -> 1");
    };
    for (int i = 0; i < 60; ++i) {
        int width = 790 - 10 * i;
        report(width, true, i % 2, i % 2 ? "0x40,16" : "0x20,8");
        if (i % 7 == 6)
            report(width, false, false, "0x40,32");
    }
    std::reverse(kept.begin(), kept.end());
    m.video_list = "*Auto=-1";
    for (size_t i = 0; i < kept.size(); ++i) {
        std::string label = std::to_string(kept[i].first) + "x100x" +
                            (kept[i].second ? "65536" : "256") + "=" + std::to_string(i);
        m.game_list += (i == 0 ? "*" : " ") + label;
        if (!kept[i].second && kept[i].first <= 640)
            m.video_list += " " + label;
    }
    return m;
}

const many MANY = many_modes();

const std::vector<scenario>& scenarios() {
    static const std::vector<scenario> table = {
        {"no file: defaults shown, modes chosen, OK",
         NO_FILE,
         TYPICAL,
         NO_FAILURE,
         {{"game", "640x480x65536"}, {"video", "320x240x256"}, {"command", "OK"}},
         TYPICAL_GAME,
         TYPICAL_VIDEO,
         DEFAULT_CHECKS,
         "",
         0,
         "R640x480x65536 0\r\nV320x240x256 1\r\n",
         {LOG_START, TYPICAL_END}},
        {"no file: OK at once writes the first game mode and Auto",
         NO_FILE,
         TYPICAL,
         NO_FAILURE,
         {{"command", "OK"}},
         TYPICAL_GAME,
         TYPICAL_VIDEO,
         DEFAULT_CHECKS,
         "",
         0,
         "R320x200x256 0\r\nV000x000x256 1\r\n",
         {LOG_START, TYPICAL_END}},
        {"stored modes and flags shown; Cancel leaves the file",
         SOME_FILE,
         TYPICAL,
         NO_FAILURE,
         {{"game", "800x600x65536"}, {"click", "page"}, {"command", "Cancel"}},
         selecting(TYPICAL_GAME, "640x480x256"),
         selecting(TYPICAL_VIDEO, "320x200x256"),
         "page=1 scale=0",
         "",
         0,
         AS_BEFORE,
         {LOG_START, TYPICAL_END}},
        {"Cancel without a file writes none",
         NO_FILE,
         TYPICAL,
         NO_FAILURE,
         {{"command", "Cancel"}},
         TYPICAL_GAME,
         TYPICAL_VIDEO,
         DEFAULT_CHECKS,
         "",
         0,
         NO_FILE,
         {}},
        {"Defaults then Cancel: the file is untouched",
         "R640x480x65536 1\r\nV640x480x256 0\r\nkeep me\r\n",
         TYPICAL,
         NO_FAILURE,
         {{"command", "Defaults"},
          {"expect game", TYPICAL_GAME},
          {"expect video", TYPICAL_VIDEO},
          {"expect checks", DEFAULT_CHECKS},
          {"command", "Cancel"}},
         selecting(TYPICAL_GAME, "640x480x65536"),
         selecting(TYPICAL_VIDEO, "640x480x256"),
         "page=1 scale=0",
         "",
         0,
         AS_BEFORE,
         {}},
        {"Defaults then OK: smallest mode, Auto, the extra lines kept",
         "R640x480x65536 1\r\nV640x480x256 0\r\nkeep me\r\n",
         TYPICAL,
         NO_FAILURE,
         {{"command", "Defaults"}, {"command", "OK"}},
         selecting(TYPICAL_GAME, "640x480x65536"),
         selecting(TYPICAL_VIDEO, "640x480x256"),
         "page=1 scale=0",
         "",
         0,
         "R320x200x256 0\r\nV000x000x256 1\r\nkeep me\r\n",
         {}},
        {"Esc acts as Cancel",
         SOME_FILE,
         TYPICAL,
         NO_FAILURE,
         {{"game", "320x240x256"}, {"key", "Esc"}},
         selecting(TYPICAL_GAME, "640x480x256"),
         selecting(TYPICAL_VIDEO, "320x200x256"),
         "page=1 scale=0",
         "",
         0,
         AS_BEFORE,
         {}},
        {"Enter acts as OK",
         NO_FILE,
         TYPICAL,
         NO_FAILURE,
         {{"game", "512x384x65536"}, {"key", "Enter"}},
         TYPICAL_GAME,
         TYPICAL_VIDEO,
         DEFAULT_CHECKS,
         "",
         0,
         "R512x384x65536 0\r\nV000x000x256 1\r\n",
         {}},
        {"check boxes clicked are written as 1 and 0",
         NO_FILE,
         TYPICAL,
         NO_FAILURE,
         {{"click", "page"},
          {"click", "scale"},
          {"expect checks", "page=1 scale=0"},
          {"command", "OK"}},
         TYPICAL_GAME,
         TYPICAL_VIDEO,
         DEFAULT_CHECKS,
         "",
         0,
         "R320x200x256 1\r\nV000x000x256 0\r\n",
         {}},
        {"a second instance ends at once and shows nothing",
         NO_FILE,
         TYPICAL,
         NO_FAILURE,
         {{"second instance", ""}, {"command", "Cancel"}},
         TYPICAL_GAME,
         TYPICAL_VIDEO,
         DEFAULT_CHECKS,
         "",
         0,
         NO_FILE,
         {}},
        {"host window: zero size, hidden from the keyboard menu",
         NO_FILE,
         TYPICAL,
         NO_FAILURE,
         {{"host window", ""}, {"command", "Cancel"}},
         TYPICAL_GAME,
         TYPICAL_VIDEO,
         DEFAULT_CHECKS,
         "",
         0,
         NO_FILE,
         {}},
        {"game list empty: fatal inside the dialog, nothing written",
         SOME_FILE,
         "1024,768,0x20,8;1280,1024,0x40,16;801,600,0x20,8;800,601,0x40,16",
         NO_FAILURE,
         {},
         "",
         "",
         "",
         "DirectDraw Error|No supported display modes where detected!",
         1,
         AS_BEFORE,
         {LOG_START, "callback 800x601 flags=0x40 bits=16 -> 1\nRelease$"}},
        {"DirectDrawCreate fails",
         SOME_FILE,
         TYPICAL,
         "DirectDrawCreate=8007000e",
         {},
         "",
         "",
         "",
         "DirectDraw Error|DirectDrawCreate Failed (8007000E)",
         1,
         AS_BEFORE,
         {"^DirectDrawCreate guid=0 outer=0$"}},
        {"SetCooperativeLevel fails, the interface is not released",
         NO_FILE,
         TYPICAL,
         "SetCooperativeLevel=80070057",
         {},
         "",
         "",
         "",
         "DirectDraw Error|SetCooperativeLevel Failed (80070057)",
         1,
         NO_FILE,
         {"^DirectDrawCreate guid=0 outer=0\nSetCooperativeLevel window={host} flags=0x51$"}},
        {"a success code other than DD_OK is a failure",
         NO_FILE,
         TYPICAL,
         "SetCooperativeLevel=1",
         {},
         "",
         "",
         "",
         "DirectDraw Error|SetCooperativeLevel Failed (1)",
         1,
         NO_FILE,
         {}},
        {"EnumDisplayModes fails",
         SOME_FILE,
         TYPICAL,
         "EnumDisplayModes=887600aa",
         {},
         "",
         "",
         "",
         "DirectDraw Error|EnumDisplayModes Failed (887600AA)",
         1,
         AS_BEFORE,
         {std::string(LOG_START) + "$"}},
        {"only 24-bit and 32-bit modes",
         NO_FILE,
         "640,480,0x40,24;640,480,0x40,32;800,600,0x40,32;320,200,0x48,4",
         NO_FAILURE,
         {},
         "",
         "",
         "",
         "DirectDraw Error|No display modes detected!",
         1,
         NO_FILE,
         {LOG_START, "callback 320x200 flags=0x48 bits=4 -> 1\nRelease$"}},
        {"no modes at all",
         NO_FILE,
         "",
         NO_FAILURE,
         {},
         "",
         "",
         "",
         "DirectDraw Error|No display modes detected!",
         1,
         NO_FILE,
         {std::string(LOG_START) + "\nRelease$"}},
        {"more than 50 usable modes: the first 50 accepted stay, sorted",
         NO_FILE,
         MANY.modes,
         NO_FAILURE,
         {{"command", "OK"}},
         MANY.game_list,
         MANY.video_list,
         DEFAULT_CHECKS,
         "",
         0,
         "R300x100x65536 0\r\nV000x000x256 1\r\n",
         {LOG_START, MANY.skipped, MANY.stop + "\nEnumDisplayModes stopped\nRelease$"}},
        {"driver order sorted by width, height, depth",
         NO_FILE,
         "800,600,0x40,16;320,240,0x20,8;640,480,0x40,16;640,480,0x20,8;320,200,0x20,8",
         NO_FAILURE,
         {{"command", "Cancel"}},
         "*320x200x256=0 320x240x256=1 640x480x256=2 640x480x65536=3 800x600x65536=4",
         "*Auto=-1 320x200x256=0 320x240x256=1 640x480x256=2",
         DEFAULT_CHECKS,
         "",
         0,
         NO_FILE,
         {}},
        {"640x480 at 16, 8 and 32 bits",
         NO_FILE,
         "640,480,0x40,16;640,480,0x20,8;640,480,0x40,32",
         NO_FAILURE,
         {{"command", "Cancel"}},
         "*640x480x256=0 640x480x65536=1",
         "*Auto=-1 640x480x256=0",
         DEFAULT_CHECKS,
         "",
         0,
         NO_FILE,
         {}},
        {"modes in the game list only, in both, in neither",
         NO_FILE,
         "1024,768,0x20,8;800,600,0x40,16;800,600,0x20,8;640,480,0x40,16;640,480,0x20,8;"
         "641,480,0x20,8;640,481,0x20,8;801,600,0x20,8;800,601,0x20,8;1024,768,0x40,16",
         NO_FAILURE,
         {{"command", "Cancel"}},
         "*640x480x256=0 640x480x65536=1 640x481x256=2 641x480x256=3 800x600x256=4 "
         "800x600x65536=5",
         "*Auto=-1 640x480x256=0",
         DEFAULT_CHECKS,
         "",
         0,
         NO_FILE,
         {}},
        {"stored 16-bit 640x480 on an 8-bit-only driver: first entry",
         "R640x480x65536 0\r\nV640x480x65536 1\r\n",
         "320,200,0x20,8;640,480,0x20,8",
         NO_FAILURE,
         {{"command", "OK"}},
         "*320x200x256=0 640x480x256=1",
         "*Auto=-1 320x200x256=0 640x480x256=1",
         DEFAULT_CHECKS,
         "",
         0,
         "R320x200x256 0\r\nV000x000x256 1\r\n",
         {}},
        {"a mode reported twice: the last copy is selected",
         "R640x480x256 0\r\nV640x480x256 1\r\n",
         "640,480,0x20,8;320,200,0x20,8;640,480,0x20,8",
         NO_FAILURE,
         {{"command", "OK"}},
         "320x200x256=0 640x480x256=1 *640x480x256=2",
         "Auto=-1 320x200x256=0 640x480x256=1 *640x480x256=2",
         DEFAULT_CHECKS,
         "",
         0,
         "R640x480x256 0\r\nV640x480x256 1\r\n",
         {}},
        {"only 16-bit modes: the video list holds Auto alone",
         NO_FILE,
         "640,480,0x40,16;320,200,0x40,16",
         NO_FAILURE,
         {{"command", "OK"}},
         "*320x200x65536=0 640x480x65536=1",
         "*Auto=-1",
         DEFAULT_CHECKS,
         "",
         0,
         "R320x200x65536 0\r\nV000x000x256 1\r\n",
         {}},
        {"51 extra lines: Too many lines! before any DirectDraw call",
         extra_lines(51),
         TYPICAL,
         NO_FAILURE,
         {},
         "",
         "",
         "",
         "load_cfg_file|Too many lines!",
         1,
         AS_BEFORE,
         {NO_DIRECTDRAW}},
        {"50 extra lines load and are written back",
         "R800x600x256 0\r\n" + extra_lines(50),
         TYPICAL,
         NO_FAILURE,
         {{"command", "OK"}},
         selecting(TYPICAL_GAME, "800x600x256"),
         TYPICAL_VIDEO,
         DEFAULT_CHECKS,
         "",
         0,
         "R800x600x256 0\r\nV000x000x256 1\r\n" + extra_lines(50),
         {}},
        {"flags from the file shown checked and written back as 1",
         "R320x240x256 5\r\nV320x200x256 7\r\n",
         TYPICAL,
         NO_FAILURE,
         {{"command", "OK"}},
         selecting(TYPICAL_GAME, "320x240x256"),
         selecting(TYPICAL_VIDEO, "320x200x256"),
         "page=1 scale=1",
         "",
         0,
         "R320x240x256 1\r\nV320x200x256 1\r\n",
         {}},
        {"extra lines kept in order after the two own lines",
         "first extra\r\nR640x480x256 1\r\n\r\nV000x000x256 0\r\nlast extra",
         TYPICAL,
         NO_FAILURE,
         {{"video", "512x384x256"}, {"command", "OK"}},
         selecting(TYPICAL_GAME, "640x480x256"),
         TYPICAL_VIDEO,
         "page=1 scale=0",
         "",
         0,
         "R640x480x256 1\r\nV512x384x256 0\r\nfirst extra\r\n\r\nlast extra\r\n",
         {}},
        {"Auto chosen after a video mode",
         "V640x480x256 1\r\n",
         TYPICAL,
         NO_FAILURE,
         {{"video", "Auto"}, {"command", "OK"}},
         TYPICAL_GAME,
         selecting(TYPICAL_VIDEO, "640x480x256"),
         DEFAULT_CHECKS,
         "",
         0,
         "R320x200x256 0\r\nV000x000x256 1\r\n",
         {}},
    };
    return table;
}

std::string format_list(const std::vector<list_entry>& entries, LRESULT selection) {
    std::string text;
    for (size_t i = 0; i < entries.size(); ++i) {
        text += i == 0 ? "" : " ";
        text += static_cast<LRESULT>(i) == selection ? "*" : "";
        text += entries[i].text + "=" + std::to_string(entries[i].data);
    }
    return text;
}

std::string list_of(HWND dialog, int id) {
    LRESULT selection;
    std::vector<list_entry> entries = read_list(GetDlgItem(dialog, id), &selection);
    return format_list(entries, selection);
}

std::string checks_of(HWND dialog) {
    LRESULT page = -1, scale = -1;
    send_to(GetDlgItem(dialog, PAGE_FLIP), BM_GETCHECK, 0, 0, &page);
    send_to(GetDlgItem(dialog, SCALE_VIDEOS), BM_GETCHECK, 0, 0, &scale);
    return "page=" + std::to_string(page) + " scale=" + std::to_string(scale);
}

std::string hex(HWND window) {
    char text[16];
    snprintf(text, sizeof text, "%lx",
             static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(window)));
    return text;
}

std::vector<std::string> split_lines(const std::string& text) {
    std::vector<std::string> lines;
    std::string::size_type start = 0, end;
    while ((end = text.find('\n', start)) != std::string::npos) {
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    if (start < text.size())
        lines.push_back(text.substr(start));
    return lines;
}

// Whether the blocks of lines occur in the log in order, each as a run of
// consecutive lines, "^" and "$" anchoring a block to the log's ends.
bool log_matches(const std::vector<std::string>& log, const std::vector<std::string>& blocks,
                 const std::string& host) {
    size_t from = 0;
    for (std::string block : blocks) {
        bool at_start = !block.empty() && block.front() == '^';
        bool at_end = !block.empty() && block.back() == '$';
        block = block.substr(at_start, block.size() - at_start - at_end);
        for (std::string::size_type at; (at = block.find("{host}")) != std::string::npos;)
            block.replace(at, 6, host);
        std::vector<std::string> wanted = split_lines(block);
        bool found = false;
        for (size_t i = at_start ? 0 : from; !found && i + wanted.size() <= log.size(); ++i) {
            found = std::equal(wanted.begin(), wanted.end(), log.begin() + i) &&
                    (!at_end || i + wanted.size() == log.size());
            if (found)
                from = i + wanted.size();
            if (at_start)
                break;
        }
        if (!found)
            return false;
    }
    return true;
}

FILETIME file_time(const std::string& path) {
    FILETIME time = {};
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        GetFileTime(file, nullptr, nullptr, &time);
        CloseHandle(file);
    }
    return time;
}

// An old, exact modification time, so that any rewrite shows.
void age_file(const std::string& path) {
    SYSTEMTIME old = {2001, 2, 0, 3, 4, 5, 6, 0};
    FILETIME time;
    SystemTimeToFileTime(&old, &time);
    HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    SetFileTime(file, nullptr, nullptr, &time);
    CloseHandle(file);
}

// One run of taropts.exe in its own folder; whatever happens, the process
// does not outlive the scenario.
struct taropts_run {
    std::string folder;
    PROCESS_INFORMATION process = {};

    taropts_run() : folder(make_scratch_folder("taropts-e2e")) {}
    ~taropts_run() {
        end_taropts(&process);
        if (!::testing::Test::HasFailure())
            remove_folder(folder);
    }
    std::string path(const char* name) const {
        return folder + "\\" + name;
    }
};

void start(taropts_run* run, const std::optional<std::string>& modes, const char* fail,
           const std::string& work_folder = "") {
    ASSERT_TRUE(driver_override_in_force())
        << "WINEDLLOVERRIDES must hold ddraw=n,b, or the program loads Wine's own DirectDraw";
    ASSERT_TRUE(copy_program(run->folder)) << "copying the program into " << run->folder;
    launch_options options = {run->folder, work_folder.empty() ? run->folder : work_folder,
                              modes ? modes->c_str() : nullptr, fail, run->path("ddraw.log")};
    std::string error;
    ASSERT_TRUE(start_taropts(options, &run->process, &error)) << error;
}

void check_second_instance(HWND first_dialog) {
    taropts_run second;
    ASSERT_NO_FATAL_FAILURE(start(&second, TYPICAL, NO_FAILURE));
    std::vector<std::string> shown;
    DWORD start_time = GetTickCount();
    while (wait_for_exit(second.process, 1) < 0) {
        for (HWND window : process_windows(second.process.dwProcessId))
            shown.push_back(class_name(window) + " '" + window_text(window) + "'");
        ASSERT_LT(GetTickCount() - start_time, EXIT_TIMEOUT_MS) << "the second instance runs on";
    }
    EXPECT_EQ(wait_for_exit(second.process, 0), 0);
    EXPECT_TRUE(shown.empty()) << "the second instance showed " << shown.front();
    EXPECT_FALSE(file_exists(second.path("ddraw.log"))) << read_file(second.path("ddraw.log"));
    EXPECT_FALSE(file_exists(second.path("tarro.cfg")));
    EXPECT_TRUE(IsWindowVisible(first_dialog)) << "the first dialog went away";
}

void check_host_window(DWORD process_id, HWND dialog) {
    HWND host = find_process_window(process_id, "TAROPTS", nullptr);
    ASSERT_NE(host, nullptr) << "no window of class TAROPTS";
    EXPECT_EQ(window_text(host), "Tarrowind Windows 95 Options");
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), host) << "the host window owns the dialog";
    RECT rect;
    ASSERT_TRUE(GetWindowRect(host, &rect));
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.top, 0);
    EXPECT_EQ(rect.right, 0);
    EXPECT_EQ(rect.bottom, 0);
    // The window manager adds WS_CLIPSIBLINGS to every top-level window, and
    // the modal dialog disables its owner while it is up.
    DWORD style = GetWindowLongA(host, GWL_STYLE);
    EXPECT_EQ(style & ~(WS_CLIPSIBLINGS | WS_DISABLED),
              static_cast<DWORD>(WS_POPUP | WS_VISIBLE | WS_SYSMENU))
        << std::hex << style;
    EXPECT_TRUE(style & WS_DISABLED) << "the dialog is not modal to the host window";
    EXPECT_EQ(GetWindowLongA(host, GWL_EXSTYLE), WS_EX_TRANSPARENT);

    // Enabled for the moment, as it is before the dialog comes up: the
    // default handling would then open the system menu.
    EnableWindow(host, TRUE);
    LRESULT answer = -1;
    bool answered = send_to(host, WM_SYSCOMMAND, SC_KEYMENU, 0, &answer);
    HWND menu = find_process_window(process_id, "#32768", nullptr);
    EnableWindow(host, FALSE);
    ASSERT_TRUE(answered) << "SC_KEYMENU did not return: a menu loop is running";
    EXPECT_EQ(answer, 0);
    EXPECT_TRUE(menu == nullptr || !IsWindowVisible(menu)) << "a menu opened";
    EXPECT_TRUE(sync_with(dialog));
}

void do_step(const step& s, DWORD process_id, HWND dialog) {
    SCOPED_TRACE(std::string(s.verb) + " " + s.argument);
    std::string verb = s.verb;
    if (verb == "game" || verb == "video") {
        HWND list = GetDlgItem(dialog, verb == "game" ? GAME_LIST : VIDEO_LIST);
        LRESULT selection;
        std::vector<list_entry> entries = read_list(list, &selection);
        auto entry = std::find_if(entries.begin(), entries.end(),
                                  [&s](const list_entry& e) { return e.text == s.argument; });
        ASSERT_NE(entry, entries.end()) << "no such entry";
        LRESULT answer;
        ASSERT_TRUE(send_to(list, CB_SETCURSEL, entry - entries.begin(), 0, &answer));
    } else if (verb == "click") {
        LRESULT answer;
        HWND box = GetDlgItem(dialog, s.argument == "page" ? PAGE_FLIP : SCALE_VIDEOS);
        ASSERT_TRUE(send_to(box, BM_CLICK, 0, 0, &answer));
        ASSERT_TRUE(sync_with(dialog));
    } else if (verb == "command") {
        int id = s.argument == "OK" ? IDOK : s.argument == "Cancel" ? IDCANCEL : DEFAULTS;
        WPARAM command = MAKEWPARAM(id, BN_CLICKED);
        LPARAM button = reinterpret_cast<LPARAM>(GetDlgItem(dialog, id));
        LRESULT answer;
        if (id == DEFAULTS)
            ASSERT_TRUE(send_to(dialog, WM_COMMAND, command, button, &answer));
        else
            ASSERT_TRUE(PostMessageA(dialog, WM_COMMAND, command, button));
    } else if (verb == "key") {
        HWND focus = focus_of(dialog);
        ASSERT_NE(focus, nullptr) << "nothing has the focus";
        WPARAM key = s.argument == "Esc" ? VK_ESCAPE : VK_RETURN;
        LPARAM scan = (s.argument == "Esc" ? 0x01 : 0x1C) << 16;
        ASSERT_TRUE(PostMessageA(focus, WM_KEYDOWN, key, scan | 1));
        ASSERT_TRUE(PostMessageA(focus, WM_KEYUP, key, scan | 0xC0000001));
    } else if (verb == "expect game") {
        EXPECT_EQ(list_of(dialog, GAME_LIST), s.argument);
    } else if (verb == "expect video") {
        EXPECT_EQ(list_of(dialog, VIDEO_LIST), s.argument);
    } else if (verb == "expect checks") {
        EXPECT_EQ(checks_of(dialog), s.argument);
    } else if (verb == "second instance") {
        check_second_instance(dialog);
    } else if (verb == "host window") {
        check_host_window(process_id, dialog);
    } else {
        FAIL() << "unknown step";
    }
}

// The focus once the dialog has taken it, or null after a while.
HWND settled_focus(HWND dialog) {
    DWORD start = GetTickCount();
    HWND focus;
    while ((focus = focus_of(dialog)) == nullptr && GetTickCount() - start < EXIT_TIMEOUT_MS)
        Sleep(5);
    return focus;
}

// After the last step: a message box comes up, or the process ends, or the
// time runs out with the dialog still up.
seen wait_for_end(const PROCESS_INFORMATION& process, HWND* window) {
    DWORD start = GetTickCount();
    for (;;) {
        if ((*window = find_message_box(process.dwProcessId)) != nullptr)
            return seen::message_box;
        if (wait_for_exit(process, 5) >= 0)
            return seen::exited;
        if (GetTickCount() - start > EXIT_TIMEOUT_MS)
            return seen::timed_out;
    }
}

// Reads the message box up, if one is, and closes it.
std::string take_message_box(HWND box) {
    std::string seen_text = window_text(box) + "|" + message_box_text(box);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    return seen_text;
}

void run_scenario(const scenario& s) {
    taropts_run run;
    std::string cfg = run.path("tarro.cfg");
    FILETIME before = {};
    if (s.input) {
        write_file(cfg, *s.input);
        ASSERT_NO_FATAL_FAILURE(age_file(cfg));
        before = file_time(cfg);
    }
    ASSERT_NO_FATAL_FAILURE(start(&run, s.modes, s.fail));
    DWORD process_id = run.process.dwProcessId;

    HWND window;
    seen first = wait_for_window(run.process, START_TIMEOUT_MS, &window);
    ASSERT_NE(first, seen::timed_out) << "neither the dialog nor a message box came up";
    std::string host = hex(find_process_window(process_id, "TAROPTS", nullptr));
    std::string message;

    if (!s.game_list.empty()) {
        ASSERT_EQ(first, seen::dialog)
            << (first == seen::message_box ? "message box: " + take_message_box(window)
                                           : "the program ended");
        EXPECT_EQ(list_of(window, GAME_LIST), s.game_list);
        EXPECT_EQ(list_of(window, VIDEO_LIST), s.video_list);
        EXPECT_EQ(checks_of(window), s.checks);
        EXPECT_EQ(GetDlgCtrlID(settled_focus(window)), GAME_LIST) << "the game list has the focus";
        for (const step& each : s.steps)
            ASSERT_NO_FATAL_FAILURE(do_step(each, process_id, window));
        first = wait_for_end(run.process, &window);
    }
    ASSERT_NE(first, seen::dialog) << "the dialog came up";
    if (first == seen::message_box) {
        // Unowned, so that it also comes up over a dialog that is abandoned.
        EXPECT_EQ(GetWindow(window, GW_OWNER), nullptr) << "the message box has an owner";
        message = take_message_box(window);
    }
    EXPECT_EQ(message, s.message);

    EXPECT_EQ(wait_for_exit(run.process, EXIT_TIMEOUT_MS), s.exit_code);
    if (s.output) {
        EXPECT_EQ(read_file(cfg), *s.output);
    } else if (s.input) {
        EXPECT_EQ(read_file(cfg), *s.input);
        FILETIME after = file_time(cfg);
        EXPECT_EQ(CompareFileTime(&before, &after), 0) << "tarro.cfg was rewritten";
    } else {
        EXPECT_FALSE(file_exists(cfg)) << read_file(cfg);
    }

    std::string log_text = read_file(run.path("ddraw.log"));
    std::vector<std::string> log = split_lines(log_text);
    for (const std::string& line : log)
        EXPECT_TRUE(line.rfind("error:", 0) != 0 && line.find("unsupported") == std::string::npos)
            << line;
    // The wait cursor is up while DirectDraw is asked, and the cursor is back
    // as it was whenever a dialog or message box comes up.
    std::vector<std::string> cursor_log = split_lines(read_file(run.path("ddraw.log.cursor")));
    for (const std::string& line : cursor_log) {
        std::string wanted =
            line.rfind("activate ", 0) == 0 ? " cursor=initial shown=+0" : " cursor=wait shown=+1";
        EXPECT_TRUE(line.size() > wanted.size() &&
                    line.compare(line.size() - wanted.size(), wanted.size(), wanted) == 0)
            << line;
    }
    if (!message.empty() && !log.empty()) {
        std::string box = "activate '" + message.substr(0, message.find('|')) + "'";
        EXPECT_TRUE(
            std::any_of(cursor_log.begin(), cursor_log.end(),
                        [&box](const std::string& line) { return line.rfind(box, 0) == 0; }))
            << "the message box was not seen; cursor log:\n"
            << read_file(run.path("ddraw.log.cursor"));
    }

    if (!s.log.empty() && s.log.front() == NO_DIRECTDRAW)
        EXPECT_EQ(log_text, "") << "DirectDraw was called";
    else
        EXPECT_TRUE(log_matches(log, s.log, host)) << "host window " << host << ", log:\n"
                                                   << log_text;
}

// Runs where tarro.cfg cannot be written, or not read. The kinds "full",
// "readonly-folder" and "readonly-file" are mounts that tests/faults/in-folder.sh
// makes (it names the folder in TAROPTS_FAULT_FOLDER and holds the input);
// the others are made here: the file held open by this process without write
// sharing or without any, or a folder in its place.
struct fault_case {
    const char* name;
    const char* kind;
    std::optional<std::string> input;
    const char* button;
    const char* game_selection; // shows whether the file was read
    const char* message;
    long exit_code;
    std::optional<std::string> saved; // the file wanted; AS_BEFORE: untouched
};

const char UNWRITABLE[] = "save_cfg_file|Unable to write to file 'TARRO.CFG'!";
const char DEFAULT_SAVE[] = "R320x200x256 0\r\nV000x000x256 1\r\n";

// 4050 bytes of kept lines (none starts with R or V) that fit the 4 KiB
// disk; written back with CR LF they do not.
std::string lines_of_80(const char* line_end) {
    std::string text;
    for (int i = 0; i < 50; ++i)
        text += std::string(80, static_cast<char>('a' + i % 16)) + line_end;
    return text;
}

const std::vector<fault_case>& fault_cases() {
    static const std::vector<fault_case> table = {
        {"full disk", "full", lines_of_80("\n"), "OK", "320x200x256", UNWRITABLE, 1,
         DEFAULT_SAVE + lines_of_80("\r\n")},
        {"read-only folder", "readonly-folder", SOME_FILE, "OK", "640x480x256", UNWRITABLE, 1,
         AS_BEFORE},
        {"read-only folder without a file", "readonly-folder", NO_FILE, "OK", "320x200x256",
         UNWRITABLE, 1, NO_FILE},
        {"read-only file", "readonly-file", SOME_FILE, "OK", "640x480x256", UNWRITABLE, 1,
         AS_BEFORE},
        {"file held without write sharing", "held-read-only", SOME_FILE, "OK", "640x480x256",
         UNWRITABLE, 1, AS_BEFORE},
        {"file held without write sharing, Cancel", "held-read-only", SOME_FILE, "Cancel",
         "640x480x256", "", 0, AS_BEFORE},
        {"file that cannot be read", "held-exclusive", SOME_FILE, "OK", "320x200x256", UNWRITABLE,
         1, AS_BEFORE},
        {"folder named tarro.cfg", "folder", NO_FILE, "OK", "320x200x256", UNWRITABLE, 1, NO_FILE},
        {"folder named tarro.cfg, Cancel", "folder", NO_FILE, "Cancel", "320x200x256", "", 0,
         NO_FILE},
    };
    return table;
}

bool made_by_mount(const char* kind) {
    return strcmp(kind, "full") == 0 || strcmp(kind, "readonly-folder") == 0 ||
           strcmp(kind, "readonly-file") == 0;
}

class fault : public ::testing::TestWithParam<size_t> {};

TEST_P(fault, save_refused_and_reported) {
    const fault_case& c = fault_cases()[GetParam()];
    taropts_run run;
    std::string work = run.folder + "\\work";
    HANDLE held = INVALID_HANDLE_VALUE;
    if (made_by_mount(c.kind)) {
        const char* kind = getenv("TAROPTS_FAULT_KIND");
        const char* folder = getenv("TAROPTS_FAULT_FOLDER");
        if (kind == nullptr || folder == nullptr || strcmp(kind, c.kind) != 0)
            GTEST_SKIP() << "run through tests/faults/in-folder.sh " << c.kind;
        work = windows_path(folder);
    } else {
        ASSERT_TRUE(CreateDirectoryA(work.c_str(), nullptr));
        if (c.input)
            write_file(work + "\\tarro.cfg", *c.input);
        if (strcmp(c.kind, "folder") == 0)
            ASSERT_TRUE(CreateDirectoryA((work + "\\tarro.cfg").c_str(), nullptr));
        else
            held = CreateFileA((work + "\\tarro.cfg").c_str(), GENERIC_READ,
                               strcmp(c.kind, "held-read-only") == 0 ? FILE_SHARE_READ : 0, nullptr,
                               OPEN_EXISTING, 0, nullptr);
    }
    std::string cfg = work + "\\tarro.cfg";
    DWORD attributes = GetFileAttributesA(cfg.c_str());
    bool had_file =
        attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
    std::string before = c.input ? *c.input : "";
    if (held == INVALID_HANDLE_VALUE && had_file) {
        ASSERT_EQ(read_file(cfg), before) << "the folder does not hold the input";
    }

    ASSERT_NO_FATAL_FAILURE(start(&run, TYPICAL, NO_FAILURE, work));
    HWND window;
    ASSERT_EQ(wait_for_window(run.process, START_TIMEOUT_MS, &window), seen::dialog);
    EXPECT_EQ(list_of(window, GAME_LIST), selecting(TYPICAL_GAME, c.game_selection));
    ASSERT_NO_FATAL_FAILURE(do_step({"command", c.button}, run.process.dwProcessId, window));
    seen end = wait_for_end(run.process, &window);
    ASSERT_NE(end, seen::timed_out);
    EXPECT_EQ(end == seen::message_box ? take_message_box(window) : "", c.message);
    EXPECT_EQ(wait_for_exit(run.process, EXIT_TIMEOUT_MS), c.exit_code);

    if (held != INVALID_HANDLE_VALUE)
        CloseHandle(held);
    if (strcmp(c.kind, "folder") == 0) {
        EXPECT_TRUE(GetFileAttributesA(cfg.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
    } else if (!c.saved && !c.input) {
        EXPECT_FALSE(file_exists(cfg)) << read_file(cfg);
    } else if (!c.saved) {
        EXPECT_EQ(read_file(cfg), before);
    } else {
        // The disk filled up during the save: what reached it is the start
        // of the new file, and the run said it failed.
        std::string left = read_file(cfg);
        EXPECT_LT(left.size(), c.saved->size());
        EXPECT_EQ(left, c.saved->substr(0, left.size()));
    }
}

std::string fault_name(const ::testing::TestParamInfo<size_t>& info) {
    std::string name = fault_cases()[info.param].name;
    for (char& c : name)
        if (!isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(taropts, fault, ::testing::Range<size_t>(0, fault_cases().size()),
                         fault_name);

class e2e : public ::testing::TestWithParam<size_t> {};

TEST_P(e2e, scenario) {
    run_scenario(scenarios()[GetParam()]);
}

std::string scenario_name(const ::testing::TestParamInfo<size_t>& info) {
    std::string name = std::to_string(info.param) + "_" + scenarios()[info.param].name;
    for (char& c : name)
        if (!isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(taropts, e2e, ::testing::Range<size_t>(0, scenarios().size()),
                         scenario_name);

} // namespace
