// A test ddraw.dll: reports the modes of TAROPTS_MODES with pixel formats as
// real drivers give them, fails the call TAROPTS_FAIL names ("Call=HRESULT",
// hex), and appends each call to the one-line log TAROPTS_LOG, with
// "[cursor]" wherever the cursor is not what the program must show.
#define CINTERFACE
#include <windows.h>

#include <ddraw.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

// "640x480x8" a mode; the depths as drivers report them. "*N" repeats a mode.
static const struct {
    const char* name;
    DWORD flags, fourcc, bits, red, green, blue;
} FORMATS[] = {
    {"8", DDPF_RGB | DDPF_PALETTEINDEXED8, 0, 8},
    {"4", DDPF_RGB | DDPF_PALETTEINDEXED4, 0, 4},
    {"15", DDPF_RGB, 0, 16, 0x7C00, 0x3E0, 0x1F},
    {"16", DDPF_RGB, 0, 16, 0xF800, 0x7E0, 0x1F},
    {"24", DDPF_RGB, 0, 24, 0xFF0000, 0xFF00, 0xFF},
    {"32", DDPF_RGB, 0, 32, 0xFF0000, 0xFF00, 0xFF},
    {"yuy2", DDPF_FOURCC, MAKEFOURCC('Y', 'U', 'Y', '2'), 16}, // its YUV bit count
};

static int shown() {
    int count = ShowCursor(FALSE) + 1;
    ShowCursor(TRUE);
    return count;
}

static const int initial_shown = shown(); // as the program found it

// During a call the wait cursor is up; once the calls are over it is gone.
// A dialog's activation is logged only when the cursor is wrong.
static void log_call(const char* text, bool waiting, bool if_wrong = false) {
    bool wait = GetCursor() == LoadCursorA(nullptr, IDC_WAIT);
    bool right = wait == waiting && shown() == initial_shown + waiting;
    const char* path = getenv("TAROPTS_LOG");
    if (FILE* log = path && !(right && if_wrong) ? fopen(path, "a") : nullptr)
        fprintf(log, "%s%s ", text, right ? "" : "[cursor]"), fclose(log);
}

// The result TAROPTS_FAIL asks of call, DD_OK for every other.
static HRESULT result_of(const char* call) {
    char name[32] = "";
    unsigned long result = DD_OK;
    sscanf(getenv("TAROPTS_FAIL") ? getenv("TAROPTS_FAIL") : "", "%31[^=]=%lx", name, &result);
    return strcmp(name, call) == 0 ? static_cast<HRESULT>(result) : DD_OK;
}

// The options dialog and the message box come up with the normal cursor.
static LRESULT CALLBACK on_activate(int code, WPARAM wparam, LPARAM lparam) {
    if (code == HCBT_ACTIVATE)
        log_call("activate", false, true);
    return CallNextHookEx(nullptr, code, wparam, lparam);
}

static ULONG WINAPI release(IDirectDraw*) {
    log_call("release", false);
    return 0;
}

static HRESULT WINAPI set_cooperative_level(IDirectDraw*, HWND window, DWORD flags) {
    char name[32] = "", text[64];
    GetClassNameA(window, name, sizeof name);
    snprintf(text, sizeof text, "coop(%s,%lx)", name, flags);
    log_call(text, true);
    // In exclusive full-screen mode a real driver makes the window cover the screen.
    MoveWindow(window, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), FALSE);
    return result_of("SetCooperativeLevel");
}

static HRESULT WINAPI enum_display_modes(IDirectDraw*, DWORD flags, LPDDSURFACEDESC wanted,
                                         LPVOID context, LPDDENUMMODESCALLBACK callback) {
    char text[64];
    snprintf(text, sizeof text, "enum(%lx,%d,%d)", flags, wanted != nullptr, context != nullptr);
    log_call(text, true);
    HRESULT result = result_of("EnumDisplayModes");
    char* modes = strdup(result == DD_OK && getenv("TAROPTS_MODES") ? getenv("TAROPTS_MODES") : "");
    int reported = 0;
    for (char* token = strtok(modes, " "); token; token = strtok(nullptr, " ")) {
        DDSURFACEDESC mode = {sizeof mode, DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT};
        DDPIXELFORMAT& format = mode.ddpfPixelFormat;
        char depth[8] = "";
        int repeat = 1;
        sscanf(token, "%lux%lux%7[0-9a-z]*%d", &mode.dwWidth, &mode.dwHeight, depth, &repeat);
        for (const auto& f : FORMATS)
            if (strcmp(depth, f.name) == 0)
                format = {sizeof format, f.flags, f.fourcc, {f.bits}, {f.red}, {f.green}, {f.blue}};
        for (int i = 0; i < repeat; ++i)
            if (++reported, callback(&mode, context) == DDENUMRET_CANCEL) {
                snprintf(text, sizeof text, "cancel@%d", reported); // the mode it stopped at
                return log_call(text, true), DD_OK;
            }
    }
    return result;
}

static IDirectDrawVtbl methods = {.Release = release,
                                  .EnumDisplayModes = enum_display_modes,
                                  .SetCooperativeLevel = set_cooperative_level};
static IDirectDraw object = {&methods};

extern "C" __declspec(dllexport) HRESULT WINAPI
    DirectDrawCreate(GUID* guid, LPDIRECTDRAW* out, IUnknown* outer) {
    SetWindowsHookExA(WH_CBT, on_activate, nullptr, GetCurrentThreadId());
    log_call(guid == nullptr && outer == nullptr ? "create" : "create(args)", true);
    *out = result_of("DirectDrawCreate") == DD_OK ? &object : nullptr;
    return result_of("DirectDrawCreate");
}
