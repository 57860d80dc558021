// The real fatal_error under Wine: the message box's caption and text, the
// unwinding to fatal_jump.
#include <gtest/gtest.h>

#include <setjmp.h>
#include <windows.h>

#include <string>

#include "settings/app_state.h"
#include "shell/fatal.h"

namespace {

struct seen_box {
    std::string caption;
    std::string text;
    int buttons;
};

// Finds this process's message box, reads it and presses its OK button.
DWORD WINAPI close_box(LPVOID parameter) {
    seen_box* seen = static_cast<seen_box*>(parameter);
    for (int tries = 0; tries < 500; ++tries) {
        HWND box = FindWindowA("#32770", nullptr);
        DWORD process = 0;
        if (box != nullptr)
            GetWindowThreadProcessId(box, &process);
        if (box != nullptr && process == GetCurrentProcessId() && IsWindowVisible(box)) {
            char text[512];
            GetWindowTextA(box, text, sizeof text);
            seen->caption = text;
            for (HWND child = GetWindow(box, GW_CHILD); child != nullptr;
                 child = GetWindow(child, GW_HWNDNEXT)) {
                char class_name[64];
                GetClassNameA(child, class_name, sizeof class_name);
                GetWindowTextA(child, text, sizeof text);
                if (lstrcmpiA(class_name, "Static") == 0 && text[0] != '\0')
                    seen->text = text;
                if (lstrcmpiA(class_name, "Button") == 0)
                    ++seen->buttons;
            }
            PostMessageA(box, WM_COMMAND, IDOK, 0);
            return 0;
        }
        Sleep(20);
    }
    return 1;
}

struct fatal_case {
    void (*raise)();
    const char* caption;
    const char* text;
};

const fatal_case FATAL_CASES[] = {
    {[] { fatal_error("load_cfg_file", "Too many lines!"); }, "load_cfg_file", "Too many lines!"},
    {[] { fatal_error("save_cfg_file", "Unable to write to file 'TARRO.CFG'!"); }, "save_cfg_file",
     "Unable to write to file 'TARRO.CFG'!"},
    {[] { directdraw_failed("SetCooperativeLevel", static_cast<HRESULT>(0x80070057)); },
     "DirectDraw Error", "SetCooperativeLevel Failed (80070057)"},
    {[] { directdraw_failed("DirectDrawCreate", static_cast<HRESULT>(0x88760091)); },
     "DirectDraw Error", "DirectDrawCreate Failed (88760091)"},
    {[] { directdraw_failed("EnumDisplayModes", 1); }, "DirectDraw Error",
     "EnumDisplayModes Failed (1)"},
    {[] { fatal_error("c", "%s", std::string(300, 'y').c_str()); }, "c", nullptr},
};

// Returns 1 when raise came back through fatal_jump, 0 when it returned.
int catch_fatal(void (*raise)()) {
    if (setjmp(app_state.fatal_jump) != 0)
        return 1;
    raise();
    return 0;
}

TEST(fatal_error, shows_the_box_and_unwinds_to_fatal_jump) {
    for (const fatal_case& c : FATAL_CASES) {
        seen_box seen{};
        HANDLE watcher = CreateThread(nullptr, 0, close_box, &seen, 0, nullptr);
        int code = catch_fatal(c.raise);
        WaitForSingleObject(watcher, INFINITE);
        CloseHandle(watcher);
        EXPECT_EQ(1, code);
        EXPECT_EQ(c.caption, seen.caption);
        if (c.text != nullptr)
            EXPECT_EQ(c.text, seen.text);
        else
            EXPECT_EQ(std::string(255, 'y'), seen.text); // cut to the 256-byte buffer
        EXPECT_EQ(1, seen.buttons) << "one OK button";
    }
}

} // namespace
