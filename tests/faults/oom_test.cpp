// Every copy of a kept line failing in turn: the k-th malloc of the loader
// returns null. Linked with --wrap=malloc so that the program's own calls
// come through here; the C library's inner allocations do not.
#include <gtest/gtest.h>

#include <stddef.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "settings/app_state.h"
#include "settings/cfg_file.h"
#include "support/fake_fatal.h"
#include "support/scratch.h"

// 0: every call succeeds; otherwise the call that brings it to 0 fails.
static int malloc_countdown;
static int malloc_calls;

extern "C" void* __real_malloc(size_t size);

extern "C" void* __wrap_malloc(size_t size) {
    ++malloc_calls;
    if (malloc_countdown > 0 && --malloc_countdown == 0)
        return nullptr;
    return __real_malloc(size);
}

namespace {

struct oom_file {
    const char* name;
    const char* description;
    std::string bytes;
    int copies;
};

std::string numbered_lines(int count) {
    std::string text = "R640x480x256 1\r\n";
    for (int i = 0; i < count; ++i) {
        text += "; line " + std::to_string(i) + "\r\n";
        if (i == 20)
            text += "V320x200x256 0\r\n";
    }
    return text;
}

const std::vector<oom_file>& oom_files() {
    static const std::vector<oom_file> files = {
        {"fifty_lines_among_own_lines", "a file of 50 extra lines among the game and video lines",
         numbered_lines(50), 50},
        {"blank_lines_and_a_long_line",
         "a file of blank lines and a 600-byte line (read in three pieces)",
         "\r\n\r\n" + std::string(600, 'w') + "\r\nR1x2x256 3\r\n\r\n", 6},
    };
    return files;
}

std::vector<std::string> kept_lines() {
    return std::vector<std::string>(app_state.extra_lines,
                                    app_state.extra_lines + app_state.extra_line_count);
}

// What the file gives when every copy succeeds, and how many mallocs that takes.
struct full_load {
    std::vector<std::string> lines;
    int calls;
};

full_load load_in_full(const std::string& bytes) {
    enter_scratch_folder();
    reset_app_state();
    write_file("tarro.cfg", bytes);
    malloc_countdown = 0;
    malloc_calls = 0;
    EXPECT_EQ(0, run_stage(load_cfg_file));
    // Read before anything else allocates: where libstdc++ is linked in,
    // its operator new comes through the wrapper too.
    const int calls = malloc_calls;
    full_load full{kept_lines(), calls};
    reset_app_state();
    return full;
}

struct oom_case {
    const oom_file* file;
    int failing_copy;
};

std::vector<oom_case> oom_cases() {
    std::vector<oom_case> cases;
    for (const oom_file& file : oom_files()) {
        for (int k = 1; k <= file.copies; ++k)
            cases.push_back(oom_case{&file, k});
    }
    return cases;
}

class copy_fails : public testing::TestWithParam<oom_case> {
  protected:
    void TearDown() override {
        malloc_countdown = 0;
        reset_app_state();
    }
};

TEST_P(copy_fails, out_of_memory_and_the_file_untouched) {
    const oom_case& c = GetParam();
    RecordProperty("fault", "the k-th copy of a kept line cannot be allocated, each k of 1 to " +
                                std::to_string(c.file->copies) + " in " + c.file->description);
    RecordProperty("outcome", "\"load_cfg_file\" / \"Out of memory!\"; the lines before it "
                              "kept, no allocation after it; the file unchanged");
    const full_load full = load_in_full(c.file->bytes);
    // Each kept line is one malloc and nothing else allocates, so the k-th
    // call is the k-th copy.
    ASSERT_EQ(c.file->copies, static_cast<int>(full.lines.size()));
    ASSERT_EQ(c.file->copies, full.calls);

    enter_scratch_folder();
    write_file("tarro.cfg", c.file->bytes);
    last_fatal = fatal_record{};
    malloc_countdown = c.failing_copy;
    malloc_calls = 0;
    EXPECT_EQ(1, run_stage(load_cfg_file));
    const int calls = malloc_calls;
    malloc_countdown = 0;
    EXPECT_EQ(1, last_fatal.count);
    EXPECT_EQ("load_cfg_file", last_fatal.caption);
    EXPECT_EQ("Out of memory!", last_fatal.text);
    EXPECT_EQ(c.failing_copy, calls);
    const std::vector<std::string> before_failure(full.lines.begin(),
                                                  full.lines.begin() + c.failing_copy - 1);
    EXPECT_EQ(before_failure, kept_lines());
    EXPECT_EQ(c.file->bytes, read_file("tarro.cfg"));
}

INSTANTIATE_TEST_SUITE_P(oom, copy_fails, testing::ValuesIn(oom_cases()),
                         [](const testing::TestParamInfo<oom_case>& info) {
                             return std::string(info.param.file->name) + "_copy_" +
                                    std::to_string(info.param.failing_copy);
                         });

} // namespace
