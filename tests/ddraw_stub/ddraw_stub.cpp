// A test ddraw.dll: DirectDrawCreate hands out one IDirectDraw whose
// SetCooperativeLevel, EnumDisplayModes and Release work; every other method
// returns DDERR_UNSUPPORTED. In full-screen mode SetCooperativeLevel sizes the
// window to the screen, as a real driver does. The process environment drives it:
//   TAROPTS_TEST_MODES  the modes reported, in order: "W,H,FLAGS,BITS;..."
//                       (unset: a typical list; set but empty: no modes)
//   TAROPTS_TEST_FAIL   "OPERATION=HRESULT" (hex): that call returns HRESULT
//   TAROPTS_TEST_LOG    a file that gets one line per call; beside it, the
//                       same name with ".cursor" gets the cursor as each call
//                       and each activated dialog or message box finds it
#define CINTERFACE
#include <windows.h>

#include <ddraw.h>
#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

extern "C" HRESULT WINAPI DirectDrawCreate(GUID* guid, LPDIRECTDRAW* out, IUnknown* outer);

namespace {

struct stub_mode {
    unsigned long width;
    unsigned long height;
    unsigned long flags;
    unsigned long bits;
};

constexpr int MAX_STUB_MODES = 4096;
constexpr DWORD MAX_SETTING = 65536;

// Eight sizes, each at 8 (palette-indexed), 16 and 32 (RGB) bits per pixel.
const char TYPICAL_MODES[] = "320,200,0x20,8;320,200,0x40,16;320,200,0x40,32;"
                             "320,240,0x20,8;320,240,0x40,16;320,240,0x40,32;"
                             "512,384,0x20,8;512,384,0x40,16;512,384,0x40,32;"
                             "640,400,0x20,8;640,400,0x40,16;640,400,0x40,32;"
                             "640,480,0x20,8;640,480,0x40,16;640,480,0x40,32;"
                             "800,600,0x20,8;800,600,0x40,16;800,600,0x40,32;"
                             "1024,768,0x20,8;1024,768,0x40,16;1024,768,0x40,32;"
                             "1280,1024,0x20,8;1280,1024,0x40,16;1280,1024,0x40,32";

const char* const FAILING_OPERATIONS[] = {"DirectDrawCreate", "SetCooperativeLevel",
                                          "EnumDisplayModes"};

// The thread's cursor and show count when the process started.
HCURSOR initial_cursor;
int initial_show_count;
HHOOK activation_hook;

IDirectDraw stub_object;
LONG reference_count;
stub_mode modes[MAX_STUB_MODES];
char setting_text[MAX_SETTING];

void log_line(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Appends to the log named by TAROPTS_TEST_LOG plus suffix, if it is set.
// Each line goes straight to the file, so the log is complete even when the
// process is killed or ends in a fatal error right after the call.
void append_to_log(const char* suffix, const char* text, int length) {
    char path[MAX_PATH];
    DWORD room = sizeof path - strlen(suffix);
    DWORD path_length = GetEnvironmentVariableA("TAROPTS_TEST_LOG", path, room);
    if (path_length == 0 || path_length >= room)
        return;
    strcat(path, suffix);
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written;
    WriteFile(file, text, length, &written, nullptr);
    CloseHandle(file);
}

void log_line(const char* format, ...) {
    char line[512];
    va_list arguments;
    va_start(arguments, format);
    int used = vsnprintf(line, sizeof line - 1, format, arguments);
    va_end(arguments);
    if (used < 0 || used > static_cast<int>(sizeof line) - 2)
        used = sizeof line - 2;
    line[used++] = '\n';
    append_to_log("", line, used);
}

int show_count() {
    int count = ShowCursor(FALSE) + 1;
    ShowCursor(TRUE);
    return count;
}

// "cursor=wait shown=+1": the cursor against the wait cursor and the one the
// process started with, the show count against the starting one.
void log_cursor(const char* event) {
    HCURSOR cursor = GetCursor();
    const char* which = cursor == LoadCursorA(nullptr, IDC_WAIT) ? "wait"
                        : cursor == initial_cursor               ? "initial"
                                                                 : "other";
    char line[512];
    int used = snprintf(line, sizeof line, "%.400s cursor=%s shown=%+d\n", event, which,
                        show_count() - initial_show_count);
    append_to_log(".cursor", line, used);
}

// Sees every dialog and message box of the thread as it becomes active.
LRESULT CALLBACK on_activation(int code, WPARAM wparam, LPARAM lparam) {
    if (code == HCBT_ACTIVATE) {
        HWND window = reinterpret_cast<HWND>(wparam);
        char name[64] = "";
        char title[256] = "";
        GetClassNameA(window, name, sizeof name);
        GetWindowTextA(window, title, sizeof title);
        if (strcmp(name, "#32770") == 0) {
            char event[400];
            snprintf(event, sizeof event, "activate '%s'", title);
            log_cursor(event);
        }
    }
    return CallNextHookEx(activation_hook, code, wparam, lparam);
}

// Reads an environment variable into setting_text. Returns false when it is
// unset; a value too long for the buffer is logged and read as unset.
bool read_setting(const char* name) {
    SetLastError(ERROR_SUCCESS);
    DWORD length = GetEnvironmentVariableA(name, setting_text, MAX_SETTING);
    if (length == 0) {
        setting_text[0] = '\0';
        return GetLastError() != ERROR_ENVVAR_NOT_FOUND;
    }
    if (length >= MAX_SETTING) {
        log_line("error: %s is longer than %lu characters", name, MAX_SETTING - 1);
        setting_text[0] = '\0';
        return false;
    }
    return true;
}

// The result that TAROPTS_TEST_FAIL asks of operation, DD_OK when none. A
// malformed setting is logged and makes every operation fail with E_FAIL,
// so that a typo in a test cannot pass as a working driver.
HRESULT injected_result(const char* operation) {
    if (!read_setting("TAROPTS_TEST_FAIL") || setting_text[0] == '\0')
        return DD_OK;
    char* equals = strchr(setting_text, '=');
    bool known = false;
    if (equals != nullptr) {
        *equals = '\0';
        for (const char* name : FAILING_OPERATIONS)
            known = known || strcmp(setting_text, name) == 0;
    }
    char* end = nullptr;
    unsigned long result = known ? strtoul(equals + 1, &end, 16) : 0;
    if (!known || end == equals + 1 || *end != '\0') {
        if (equals != nullptr)
            *equals = '=';
        log_line("error: TAROPTS_TEST_FAIL '%s' is not OPERATION=HRESULT", setting_text);
        return E_FAIL;
    }
    return strcmp(setting_text, operation) == 0 ? static_cast<HRESULT>(result) : DD_OK;
}

bool parse_number(char** text, int base, unsigned long* value) {
    if (**text < '0' || **text > '9')
        return false;
    *value = strtoul(*text, text, base);
    return true;
}

// Parses TAROPTS_TEST_MODES, or the typical list when it is unset. Returns the
// number of modes, or -1 after logging the entry that is not W,H,FLAGS,BITS.
int read_modes() {
    if (!read_setting("TAROPTS_TEST_MODES"))
        strcpy(setting_text, TYPICAL_MODES);
    int count = 0;
    char* text = setting_text;
    while (*text != '\0') {
        char* entry = text;
        stub_mode mode;
        bool good = count < MAX_STUB_MODES && parse_number(&text, 10, &mode.width) &&
                    *text++ == ',' && parse_number(&text, 10, &mode.height) && *text++ == ',' &&
                    parse_number(&text, 0, &mode.flags) && *text++ == ',' &&
                    parse_number(&text, 10, &mode.bits) && (*text == ';' || *text == '\0');
        if (!good) {
            char* stop = strchr(entry, ';');
            if (stop != nullptr)
                *stop = '\0';
            log_line("error: TAROPTS_TEST_MODES entry %d '%s' is not WIDTH,HEIGHT,FLAGS,BITS",
                     count + 1, entry);
            return -1;
        }
        modes[count++] = mode;
        if (*text == ';')
            ++text;
    }
    return count;
}

void describe_mode(const stub_mode& mode, DDSURFACEDESC* description) {
    memset(description, 0, sizeof *description);
    description->dwSize = sizeof *description;
    description->dwFlags = DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT;
    description->dwWidth = mode.width;
    description->dwHeight = mode.height;
    description->lPitch = static_cast<LONG>(mode.width * ((mode.bits + 7) / 8));
    DDPIXELFORMAT& format = description->ddpfPixelFormat;
    format.dwSize = sizeof format;
    format.dwFlags = mode.flags;
    format.dwRGBBitCount = mode.bits;
    if ((mode.flags & DDPF_RGB) && mode.bits == 16) {
        format.dwRBitMask = 0xF800;
        format.dwGBitMask = 0x07E0;
        format.dwBBitMask = 0x001F;
    } else if ((mode.flags & DDPF_RGB) && mode.bits >= 24) {
        format.dwRBitMask = 0xFF0000;
        format.dwGBitMask = 0x00FF00;
        format.dwBBitMask = 0x0000FF;
    }
}

HRESULT WINAPI query_interface(IDirectDraw*, REFIID, void** out) {
    log_line("QueryInterface unsupported");
    if (out != nullptr)
        *out = nullptr;
    return DDERR_UNSUPPORTED;
}

ULONG WINAPI add_ref(IDirectDraw*) {
    return InterlockedIncrement(&reference_count);
}

ULONG WINAPI release(IDirectDraw*) {
    log_line("Release");
    return InterlockedDecrement(&reference_count);
}

HRESULT WINAPI set_cooperative_level(IDirectDraw*, HWND window, DWORD flags) {
    log_cursor("SetCooperativeLevel");
    log_line("SetCooperativeLevel window=%lx flags=0x%lx",
             static_cast<unsigned long>(reinterpret_cast<uintptr_t>(window)), flags);
    HRESULT result = injected_result("SetCooperativeLevel");
    // A real driver in exclusive full-screen mode makes the window cover the
    // screen; the program has to put its window back.
    if (result == DD_OK && (flags & DDSCL_FULLSCREEN) && window != nullptr)
        MoveWindow(window, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                   FALSE);
    return result;
}

HRESULT WINAPI enum_display_modes(IDirectDraw*, DWORD flags, LPDDSURFACEDESC surface_template,
                                  LPVOID context, LPDDENUMMODESCALLBACK callback) {
    log_cursor("EnumDisplayModes");
    log_line("EnumDisplayModes flags=0x%lx template=%d context=%d", flags,
             surface_template != nullptr, context != nullptr);
    HRESULT result = injected_result("EnumDisplayModes");
    if (result != DD_OK)
        return result;
    int count = read_modes();
    if (count < 0 || callback == nullptr)
        return DDERR_INVALIDPARAMS;
    for (int i = 0; i < count; ++i) {
        DDSURFACEDESC description;
        describe_mode(modes[i], &description);
        HRESULT verdict = callback(&description, context);
        log_line("callback %lux%lu flags=0x%lx bits=%lu -> %ld", modes[i].width, modes[i].height,
                 modes[i].flags, modes[i].bits, static_cast<long>(verdict));
        if (verdict == DDENUMRET_CANCEL) {
            log_line("EnumDisplayModes stopped");
            break;
        }
    }
    return DD_OK;
}

// The methods the program has no business calling.
#define UNSUPPORTED(name, ...)                                                                     \
    HRESULT WINAPI name(IDirectDraw*, ##__VA_ARGS__) {                                             \
        log_line(#name " unsupported");                                                            \
        return DDERR_UNSUPPORTED;                                                                  \
    }
UNSUPPORTED(Compact)
UNSUPPORTED(CreateClipper, DWORD, LPDIRECTDRAWCLIPPER*, IUnknown*)
UNSUPPORTED(CreatePalette, DWORD, LPPALETTEENTRY, LPDIRECTDRAWPALETTE*, IUnknown*)
UNSUPPORTED(CreateSurface, LPDDSURFACEDESC, LPDIRECTDRAWSURFACE*, IUnknown*)
UNSUPPORTED(DuplicateSurface, LPDIRECTDRAWSURFACE, LPDIRECTDRAWSURFACE*)
UNSUPPORTED(EnumSurfaces, DWORD, LPDDSURFACEDESC, LPVOID, LPDDENUMSURFACESCALLBACK)
UNSUPPORTED(FlipToGDISurface)
UNSUPPORTED(GetCaps, LPDDCAPS, LPDDCAPS)
UNSUPPORTED(GetDisplayMode, LPDDSURFACEDESC)
UNSUPPORTED(GetFourCCCodes, LPDWORD, LPDWORD)
UNSUPPORTED(GetGDISurface, LPDIRECTDRAWSURFACE*)
UNSUPPORTED(GetMonitorFrequency, LPDWORD)
UNSUPPORTED(GetScanLine, LPDWORD)
UNSUPPORTED(GetVerticalBlankStatus, WINBOOL*)
UNSUPPORTED(Initialize, GUID*)
UNSUPPORTED(RestoreDisplayMode)
UNSUPPORTED(SetDisplayMode, DWORD, DWORD, DWORD)
UNSUPPORTED(WaitForVerticalBlank, DWORD, HANDLE)
#undef UNSUPPORTED

IDirectDrawVtbl stub_methods = {
    query_interface,
    add_ref,
    release,
    Compact,
    CreateClipper,
    CreatePalette,
    CreateSurface,
    DuplicateSurface,
    enum_display_modes,
    EnumSurfaces,
    FlipToGDISurface,
    GetCaps,
    GetDisplayMode,
    GetFourCCCodes,
    GetGDISurface,
    GetMonitorFrequency,
    GetScanLine,
    GetVerticalBlankStatus,
    Initialize,
    RestoreDisplayMode,
    set_cooperative_level,
    SetDisplayMode,
    WaitForVerticalBlank,
};

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        initial_cursor = GetCursor();
        initial_show_count = show_count();
    }
    return TRUE;
}

extern "C" HRESULT WINAPI DirectDrawCreate(GUID* guid, LPDIRECTDRAW* out, IUnknown* outer) {
    log_cursor("DirectDrawCreate");
    if (activation_hook == nullptr)
        activation_hook = SetWindowsHookExA(WH_CBT, on_activation, nullptr, GetCurrentThreadId());
    log_line("DirectDrawCreate guid=%d outer=%d", guid != nullptr, outer != nullptr);
    HRESULT result = injected_result("DirectDrawCreate");
    if (result == DD_OK && out == nullptr)
        result = DDERR_INVALIDPARAMS;
    if (result != DD_OK) {
        if (out != nullptr)
            *out = nullptr;
        return result;
    }
    stub_object.lpVtbl = &stub_methods;
    reference_count = 1;
    *out = &stub_object;
    return DD_OK;
}
