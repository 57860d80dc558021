#pragma once

// Runs the real taropts.exe with the test display driver and drives its
// windows from another process, as a user would: the tests and the
// screenshot helper share it.
#include <windows.h>

#include <string>
#include <vector>

// "/a/b" as Wine names it from Windows, "Z:\a\b"; other paths stay.
std::string windows_path(const std::string& unix_path);

// A fresh empty folder under the temporary folder, and its removal.
std::string make_scratch_folder(const char* prefix);
void remove_folder(const std::string& folder);

// Puts taropts.exe and the test ddraw.dll side by side in folder. False when
// a copy failed.
bool copy_program(const std::string& folder);

// Whether a program started from here loads the ddraw.dll beside it. Wine
// takes the DLL load order from the Unix environment that the process tree
// started with, not from a child's environment block, so WINEDLLOVERRIDES
// must hold ddraw=n,b when this process starts.
bool driver_override_in_force();

struct launch_options {
    std::string program_folder; // holds taropts.exe and ddraw.dll
    std::string work_folder;    // the program's current folder
    const char* modes;          // TAROPTS_TEST_MODES; nullptr: the driver's typical list
    const char* fail;           // TAROPTS_TEST_FAIL; nullptr: none
    std::string log_path;       // TAROPTS_TEST_LOG; empty: no log
};

// Starts taropts.exe. False, with the reason in error, when it cannot start.
bool start_taropts(const launch_options& options, PROCESS_INFORMATION* process, std::string* error);

// Ends the process if it still runs and closes its handles.
void end_taropts(PROCESS_INFORMATION* process);

// The exit code once the process has ended within timeout_ms, else -1.
long wait_for_exit(const PROCESS_INFORMATION& process, DWORD timeout_ms);

constexpr char DIALOG_CLASS[] = "#32770";
constexpr char OPTIONS_CAPTION[] = "Tarrowind Windows 95 Options";

enum class seen { dialog, message_box, exited, timed_out };

// Polls until the process shows its options dialog (visible and idle) or a
// message box, or ends, or timeout_ms pass. window gets the window seen.
seen wait_for_window(const PROCESS_INFORMATION& process, DWORD timeout_ms, HWND* window);

// The visible options dialog and the message box of a process, or null.
HWND find_options_dialog(DWORD process_id);
HWND find_message_box(DWORD process_id);

// A top-level window of the process with the class (and title, unless null).
HWND find_process_window(DWORD process_id, const char* class_name, const char* title);

// Every top-level window of the process, visible or not.
std::vector<HWND> process_windows(DWORD process_id);

std::string window_text(HWND window);
std::string class_name(HWND window);

// The text of a message box: its Static child that holds text.
std::string message_box_text(HWND box);

struct list_entry {
    std::string text;
    LRESULT data;
};

// A combo box's entries (wide CB_GETLBTEXT, so it works across processes)
// and its selection.
std::vector<list_entry> read_list(HWND combo, LRESULT* selection);

// The window with the keyboard focus in the thread that owns window.
HWND focus_of(HWND window);

// Sends a message to another process's window and waits for its answer.
// False when the window does not answer in time.
bool send_to(HWND window, UINT message, WPARAM wparam, LPARAM lparam, LRESULT* answer);

// Waits until the window's thread has handled everything sent before.
bool sync_with(HWND window);
