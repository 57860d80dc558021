#include "support/scratch.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "settings/app_state.h"

#ifdef _WIN32
#include <direct.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

std::string enter_scratch_folder() {
    static int serial;
#ifdef _WIN32
    char base[MAX_PATH];
    GetTempPathA(sizeof base, base);
    char path[MAX_PATH];
    // Process ids come round again under Wine, so a name may be taken.
    do
        snprintf(path, sizeof path, "%staropts-%lu-%d", base, GetCurrentProcessId(), ++serial);
    while (!CreateDirectoryA(path, nullptr));
    SetCurrentDirectoryA(path);
    return path;
#else
    char path[] = "/tmp/taropts-XXXXXX";
    (void)serial;
    if (mkdtemp(path) == nullptr || chdir(path) != 0)
        abort();
    return path;
#endif
}

bool file_exists(const std::string& path) {
    FILE* file = fopen(path.c_str(), "rb");
    if (file != nullptr)
        fclose(file);
    return file != nullptr;
}

std::string read_file(const std::string& path) {
    std::string bytes;
    FILE* file = fopen(path.c_str(), "rb");
    if (file == nullptr)
        return bytes;
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.append(buffer, got);
    fclose(file);
    return bytes;
}

void write_file(const std::string& path, const std::string& bytes) {
    FILE* file = fopen(path.c_str(), "wb");
    if (file == nullptr)
        abort();
    fwrite(bytes.data(), 1, bytes.size(), file);
    fclose(file);
}

settings current_settings() {
    return settings{app_state.game_mode, app_state.video_mode, app_state.page_flipping,
                    app_state.scale_videos,
                    std::vector<std::string>(app_state.extra_lines,
                                             app_state.extra_lines + app_state.extra_line_count)};
}

void reset_app_state() {
    for (int i = 0; i < app_state.extra_line_count; ++i)
        free(app_state.extra_lines[i]);
    app_state.extra_line_count = 0;
    app_state.mode_count = 0;
    app_state.game_mode = display_mode{0, 0, 0};
    app_state.video_mode = display_mode{0, 0, 0};
    app_state.page_flipping = 0;
    app_state.scale_videos = 1;
}
