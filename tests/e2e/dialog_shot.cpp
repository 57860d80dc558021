// Helps scripts/screenshot.sh take a picture of the real dialog:
//   dialog_shot show WORK_FOLDER PROGRAM_FOLDER
//       copies taropts.exe and the test ddraw.dll into PROGRAM_FOLDER, starts
//       the program in WORK_FOLDER with the driver's typical modes, waits for
//       its dialog (or a message box) and prints
//       "PID dialog|message X Y WIDTH HEIGHT", then leaves it running;
//   dialog_shot cancel PID
//       ends that dialog with Cancel (a message box with OK) and prints the
//       exit code; a program that does not end is killed.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "e2e/taropts_driver.h"

namespace {

constexpr DWORD WAIT_MS = 15000;

int show(const char* work_folder, const char* program_folder) {
    launch_options options = {windows_path(program_folder), windows_path(work_folder), nullptr,
                              nullptr, ""};
    if (!driver_override_in_force()) {
        fprintf(stderr, "dialog_shot: WINEDLLOVERRIDES must hold ddraw=n,b\n");
        return 1;
    }
    CreateDirectoryA(options.program_folder.c_str(), nullptr);
    if (!copy_program(options.program_folder)) {
        fprintf(stderr, "dialog_shot: cannot copy the program into %s\n",
                options.program_folder.c_str());
        return 1;
    }
    PROCESS_INFORMATION process;
    std::string error;
    if (!start_taropts(options, &process, &error)) {
        fprintf(stderr, "dialog_shot: %s\n", error.c_str());
        return 1;
    }
    HWND window;
    seen what = wait_for_window(process, WAIT_MS, &window);
    if (what != seen::dialog && what != seen::message_box) {
        fprintf(stderr, "dialog_shot: %s\n",
                what == seen::exited ? "taropts.exe ended without a window" : "no window came up");
        end_taropts(&process);
        return 1;
    }
    if (what == seen::message_box)
        fprintf(stderr, "dialog_shot: message box \"%s\": %s\n", window_text(window).c_str(),
                message_box_text(window).c_str());
    RECT rect;
    GetWindowRect(window, &rect);
    printf("%lu %s %ld %ld %ld %ld\n", process.dwProcessId,
           what == seen::dialog ? "dialog" : "message", rect.left, rect.top, rect.right - rect.left,
           rect.bottom - rect.top);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 0;
}

int cancel(DWORD process_id) {
    PROCESS_INFORMATION process = {};
    process.dwProcessId = process_id;
    process.hProcess =
        OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_TERMINATE, FALSE, process_id);
    if (process.hProcess == nullptr) {
        fprintf(stderr, "dialog_shot: no process %lu\n", process_id);
        return 1;
    }
    if (HWND box = find_message_box(process_id))
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    else if (HWND dialog = find_options_dialog(process_id))
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
    long code = wait_for_exit(process, WAIT_MS);
    if (code < 0) {
        fprintf(stderr, "dialog_shot: taropts.exe did not end; killed\n");
        TerminateProcess(process.hProcess, 99);
        WaitForSingleObject(process.hProcess, WAIT_MS);
    } else {
        printf("taropts.exe ended with exit code %ld\n", code);
    }
    CloseHandle(process.hProcess);
    return code < 0 ? 1 : 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && strcmp(argv[1], "show") == 0)
        return show(argv[2], argv[3]);
    if (argc == 3 && strcmp(argv[1], "cancel") == 0)
        return cancel(strtoul(argv[2], nullptr, 10));
    fprintf(stderr, "usage: dialog_shot show WORK_FOLDER PROGRAM_FOLDER | cancel PID\n");
    return 2;
}
