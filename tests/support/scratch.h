#pragma once

#include <string>

// Each test that touches tarro.cfg runs in a fresh, empty current folder.
// Returns the folder's path.
std::string enter_scratch_folder();

bool file_exists(const std::string& path);
std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& bytes);

// Frees the kept lines and puts the settings back to their start values.
void reset_app_state();
