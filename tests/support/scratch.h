#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "settings/app_state.h"

// Each test that touches tarro.cfg runs in a fresh, empty current folder.
// Returns the folder's path.
std::string enter_scratch_folder();

bool file_exists(const std::string& path);
std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& bytes);

// Frees the kept lines and puts the settings back to their start values.
void reset_app_state();

// The settings and kept lines of app_state, copied for comparison.
struct settings {
    display_mode game;
    display_mode video;
    int32_t page_flipping;
    int32_t scale_videos;
    std::vector<std::string> extra_lines;
};

settings current_settings();
