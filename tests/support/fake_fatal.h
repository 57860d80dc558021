#pragma once

#include <string>

// The test build's fatal_error: it records the caption and text instead of
// showing a box, then unwinds to app_state.fatal_jump like the real one.
struct fatal_record {
    int count;
    std::string caption;
    std::string text;
};
extern fatal_record last_fatal;

// Runs one stage of the program with fatal_jump armed. Returns 0 when the
// stage returned, 1 when it ended in fatal_error.
int run_stage(void (*stage)());
