// tarro.cfg in folders where reading or writing it fails for real: the load
// quietly keeps the defaults or reads the file as usual, the save ends in
// "Unable to write to file 'TARRO.CFG'!", and what is left on disk is checked.
//
// The local suite makes each fault itself in a scratch folder. The prepared
// suites run in a folder that in-folder.sh has set up (a full disk, a
// read-only mount), with TAROPTS_FAULT_KIND naming it; they skip without it.
#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#ifdef _WIN32
#include <direct.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

#include <string>
#include <vector>

#include "faults/left_open.h"
#ifdef _WIN32
#include "faults/held_file.h"
#endif
#include "settings/app_state.h"
#include "settings/cfg_file.h"
#include "support/fake_fatal.h"
#include "support/scratch.h"
#include "support/scratch_test.h"

namespace {

const char OLD_FILE[] = "R640x480x65536 1\r\nV320x200x256 0\r\n; kept\r\n\r\n[section]\r\n";
const char WRITE_FAILED[] = "Unable to write to file 'TARRO.CFG'!";

bool operator==(const settings& a, const settings& b) {
    return modes_equal(a.game, b.game) && modes_equal(a.video, b.video) &&
           a.page_flipping == b.page_flipping && a.scale_videos == b.scale_videos &&
           a.extra_lines == b.extra_lines;
}

const settings DEFAULTS = {{0, 0, 0}, {0, 0, 0}, 0, 1, {}};

// What the bytes give when loaded in an ordinary folder.
settings loaded_normally(const std::string& bytes) {
    char here[1024];
    if (getcwd(here, sizeof here) == nullptr)
        abort();
    enter_scratch_folder();
    reset_app_state();
    write_file("tarro.cfg", bytes);
    EXPECT_EQ(0, run_stage(load_cfg_file));
    settings loaded = current_settings();
    reset_app_state();
    remove("tarro.cfg");
    if (chdir(here) != 0)
        abort();
    return loaded;
}

bool is_folder(const char* path) {
    struct stat status;
    return stat(path, &status) == 0 && (status.st_mode & S_IFMT) == S_IFDIR;
}

void expect_save_refused() {
    last_fatal = fatal_record{};
    EXPECT_EQ(1, run_stage(save_cfg_file));
    close_left_open_files();
    EXPECT_EQ(1, last_fatal.count);
    EXPECT_EQ("save_cfg_file", last_fatal.caption);
    EXPECT_EQ(WRITE_FAILED, last_fatal.text);
}

// Settings large enough that their file does not fit in 4 KiB. Their lines
// are not the loader's heap copies, so they are let go of, not freed.
bool large_settings_set;

void set_large_settings() {
    static char lines[MAX_EXTRA_LINES][255];
    reset_app_state();
    large_settings_set = true;
    app_state.game_mode = display_mode{640, 480, 1};
    app_state.video_mode = display_mode{320, 200, 0};
    for (int i = 0; i < MAX_EXTRA_LINES; ++i) {
        memset(lines[i], 'a' + i % 26, 254);
        lines[i][254] = '\0';
        app_state.extra_lines[i] = lines[i];
    }
    app_state.extra_line_count = MAX_EXTRA_LINES;
}

// The file the saver means to write for the current settings, formed in an
// ordinary folder.
std::string intended_file() {
    char here[1024];
    if (getcwd(here, sizeof here) == nullptr)
        abort();
    enter_scratch_folder();
    EXPECT_EQ(0, run_stage(save_cfg_file));
    std::string bytes = read_file("tarro.cfg");
    remove("tarro.cfg");
    if (chdir(here) != 0)
        abort();
    return bytes;
}

void reset_settings() {
    if (large_settings_set)
        app_state.extra_line_count = 0;
    large_settings_set = false;
    reset_app_state();
}

// ---- faults made in a scratch folder

enum load_result_t { LOAD_DEFAULTS, LOAD_AS_USUAL };
enum left_t { LEFT_FOLDER, LEFT_OLD_FILE, LEFT_DEFAULTS_FILE, LEFT_LINK };

struct local_fault {
    const char* name;
    const char* description;
    bool (*make)(); // false when the fault cannot be made here
    void (*undo)();
    load_result_t load;
    bool save_refused;
    left_t left; // what is on disk once the fault is undone
};

bool make_folder() {
#ifdef _WIN32
    return _mkdir("tarro.cfg") == 0;
#else
    return mkdir("tarro.cfg", 0755) == 0;
#endif
}

void undo_nothing() {}

#ifdef _WIN32
HANDLE holder = INVALID_HANDLE_VALUE;

bool hold_old_file(HANDLE (*hold)(const char*)) {
    write_file("tarro.cfg", OLD_FILE);
    holder = hold("tarro.cfg");
    return holder != INVALID_HANDLE_VALUE;
}

bool old_file_held_denying_writes() {
    return hold_old_file(::hold_denying_writes);
}

bool old_file_held_denying_all() {
    return hold_old_file(::hold_denying_all);
}

bool old_file_held_denying_reads() {
    return hold_old_file(::hold_denying_reads);
}

void release_file() {
    CloseHandle(holder);
    holder = INVALID_HANDLE_VALUE;
}

bool is_link_to_itself(const char*) {
    return false;
}
#else
bool make_link_loop() {
    return symlink("tarro.cfg", "tarro.cfg") == 0;
}

bool is_link_to_itself(const char* path) {
    char target[64] = {};
    return readlink(path, target, sizeof target - 1) > 0 && strcmp(target, path) == 0;
}
#endif

const local_fault LOCAL_FAULTS[] = {
    {"folder_named_tarro_cfg", "a folder named tarro.cfg", make_folder, undo_nothing, LOAD_DEFAULTS,
     true, LEFT_FOLDER},
#ifdef _WIN32
    {"held_without_write_sharing", "tarro.cfg held open by another handle that denies writing",
     old_file_held_denying_writes, release_file, LOAD_AS_USUAL, true, LEFT_OLD_FILE},
    {"held_without_any_sharing", "tarro.cfg held open by another handle that denies all sharing",
     old_file_held_denying_all, release_file, LOAD_DEFAULTS, true, LEFT_OLD_FILE},
    {"held_without_read_sharing",
     "tarro.cfg held open by another handle that denies reading but shares writing",
     old_file_held_denying_reads, release_file, LOAD_DEFAULTS, false, LEFT_DEFAULTS_FILE},
#else
    {"link_to_itself", "tarro.cfg a symbolic link to itself", make_link_loop, undo_nothing,
     LOAD_DEFAULTS, true, LEFT_LINK},
#endif
};

class local_folder : public scratch_test, public testing::WithParamInterface<local_fault> {};

TEST_P(local_folder, load_and_save) {
    const local_fault& fault = GetParam();
    RecordProperty("fault", fault.description);
    const settings usual = loaded_normally(OLD_FILE);
    ASSERT_TRUE(fault.make()) << "cannot make the fault";

    EXPECT_EQ(0, run_stage(load_cfg_file));
    std::string outcome;
    if (fault.load == LOAD_DEFAULTS) {
        EXPECT_TRUE(current_settings() == DEFAULTS);
        outcome = "load: defaults, quietly";
    } else {
        EXPECT_TRUE(current_settings() == usual);
        outcome = "load: the file as usual";
    }
    if (fault.save_refused) {
        expect_save_refused();
        outcome += "; save: \"save_cfg_file\" / \"Unable to write to file 'TARRO.CFG'!\"";
    } else {
        EXPECT_EQ(0, run_stage(save_cfg_file));
        outcome += "; save: succeeds";
    }
    fault.undo();

    switch (fault.left) {
    case LEFT_FOLDER:
        EXPECT_TRUE(is_folder("tarro.cfg"));
        outcome += "; tarro.cfg still a folder";
        break;
    case LEFT_OLD_FILE:
        EXPECT_EQ(OLD_FILE, read_file("tarro.cfg"));
        outcome += "; the old file unchanged";
        break;
    case LEFT_DEFAULTS_FILE:
        EXPECT_EQ("R000x000x256 0\r\nV000x000x256 1\r\n", read_file("tarro.cfg"));
        outcome += ", the defaults replace the old file and its kept lines";
        break;
    case LEFT_LINK:
        EXPECT_TRUE(is_link_to_itself("tarro.cfg"));
        outcome += "; the link unchanged";
        break;
    }
    RecordProperty("outcome", outcome);
}

INSTANTIATE_TEST_SUITE_P(local, local_folder, testing::ValuesIn(LOCAL_FAULTS),
                         [](const testing::TestParamInfo<local_fault>& info) {
                             return std::string(info.param.name);
                         });

// ---- faults that in-folder.sh has made in the current folder

struct prepared_case {
    const char* kind;
    const char* name;
    const char* fault;
    const char* outcome;
    void (*run)();
};

class prepared_folder : public testing::TestWithParam<prepared_case> {
  protected:
    void SetUp() override {
        const char* kind = getenv("TAROPTS_FAULT_KIND");
        if (kind == nullptr || strcmp(kind, GetParam().kind) != 0)
            GTEST_SKIP() << "run through tests/faults/in-folder.sh " << GetParam().kind;
        reset_app_state();
        last_fatal = fatal_record{};
    }
    void TearDown() override {
        reset_settings();
    }
};

TEST_P(prepared_folder, load_and_save) {
    RecordProperty("fault", GetParam().fault);
    RecordProperty("outcome", GetParam().outcome);
    GetParam().run();
}

void full_disk_small_save_fits() {
    remove("tarro.cfg");
    app_state.game_mode = display_mode{640, 480, 0};
    ASSERT_EQ(0, run_stage(save_cfg_file)) << last_fatal.text;
    EXPECT_EQ("R640x480x256 0\r\nV000x000x256 1\r\n", read_file("tarro.cfg"));
    remove("tarro.cfg");
}

void full_disk_large_save() {
    remove("tarro.cfg");
    set_large_settings();
    const std::string intended = intended_file();
    ASSERT_GT(intended.size(), 4096u);
    expect_save_refused();
    const std::string left = read_file("tarro.cfg");
    EXPECT_TRUE(file_exists("tarro.cfg"));
    EXPECT_LT(left.size(), intended.size());
    EXPECT_EQ(intended.substr(0, left.size()), left);
    remove("tarro.cfg");
}

void full_disk_over_old_file() {
    write_file("tarro.cfg", OLD_FILE);
    set_large_settings();
    const std::string intended = intended_file();
    expect_save_refused();
    const std::string left = read_file("tarro.cfg");
    EXPECT_LT(left.size(), intended.size());
    EXPECT_EQ(intended.substr(0, left.size()), left);
    EXPECT_EQ(std::string::npos, left.find("; kept"));
    remove("tarro.cfg");
}

void full_disk_already_full() {
    remove("tarro.cfg");
    // Fill every free byte.
    FILE* filler = fopen("filler", "wb");
    ASSERT_NE(nullptr, filler);
    setvbuf(filler, nullptr, _IONBF, 0);
    char block[512] = {};
    while (fwrite(block, 1, sizeof block, filler) == sizeof block) {
    }
    while (fwrite(block, 1, 1, filler) == 1) {
    }
    fclose(filler);
    app_state.game_mode = display_mode{640, 480, 0};
    expect_save_refused();
    EXPECT_TRUE(file_exists("tarro.cfg"));
    EXPECT_EQ("", read_file("tarro.cfg"));
    remove("tarro.cfg");
    remove("filler");
}

const prepared_case FULL_DISK_CASES[] = {
    {"full", "small_save_fits", "4 KiB disk: a save that fits (the control)",
     "saved, file as formed", full_disk_small_save_fits},
    {"full", "save_larger_than_the_disk", "4 KiB disk: a 13 KB save, no old file",
     "\"save_cfg_file\" / \"Unable to write to file 'TARRO.CFG'!\"; a shorter prefix of "
     "the new file left",
     full_disk_large_save},
    {"full", "save_larger_than_the_disk_over_old_file", "4 KiB disk: a 13 KB save over an old file",
     "\"save_cfg_file\" / \"Unable to write to file 'TARRO.CFG'!\"; the old file is gone, a "
     "shorter prefix of the new one left",
     full_disk_over_old_file},
    {"full", "disk_already_full", "4 KiB disk already full: a 32-byte save",
     "\"save_cfg_file\" / \"Unable to write to file 'TARRO.CFG'!\"; an empty tarro.cfg left",
     full_disk_already_full},
};

// The folder holds old.cfg as tarro.cfg and cannot be written.
void read_only_with_file() {
    const std::string before = read_file("tarro.cfg");
    ASSERT_FALSE(before.empty());
    const settings usual = loaded_normally(before);
    ASSERT_FALSE(usual.extra_lines.empty());
    ASSERT_EQ(0, run_stage(load_cfg_file));
    EXPECT_TRUE(current_settings() == usual);
    expect_save_refused();
    EXPECT_EQ(before, read_file("tarro.cfg"));
}

void read_only_without_file() {
    ASSERT_FALSE(file_exists("tarro.cfg"));
    ASSERT_EQ(0, run_stage(load_cfg_file));
    EXPECT_TRUE(current_settings() == DEFAULTS);
    expect_save_refused();
    EXPECT_FALSE(file_exists("tarro.cfg"));
}

const prepared_case READ_ONLY_CASES[] = {
    {"readonly-folder", "old_file", "read-only folder (read-only tmpfs) holding tarro.cfg",
     "load: the file as usual; save: \"save_cfg_file\" / \"Unable to write to file "
     "'TARRO.CFG'!\"; the old file unchanged",
     read_only_with_file},
    {"readonly-folder", "no_file", "read-only folder (read-only tmpfs), no tarro.cfg",
     "load: defaults, quietly; save: \"save_cfg_file\" / \"Unable to write to file "
     "'TARRO.CFG'!\"; still no file",
     read_only_without_file},
    {"readonly-file", "old_file", "read-only tarro.cfg (bound read-only onto itself)",
     "load: the file as usual; save: \"save_cfg_file\" / \"Unable to write to file "
     "'TARRO.CFG'!\"; the old file unchanged",
     read_only_with_file},
};

std::string prepared_name(const testing::TestParamInfo<prepared_case>& info) {
    std::string name = std::string(info.param.kind) + "_" + info.param.name;
    for (char& c : name) {
        if (c == '-')
            c = '_';
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(full_disk, prepared_folder, testing::ValuesIn(FULL_DISK_CASES),
                         prepared_name);
INSTANTIATE_TEST_SUITE_P(read_only, prepared_folder, testing::ValuesIn(READ_ONLY_CASES),
                         prepared_name);

} // namespace
