// tarro.cfg read and written back by the real loader and saver, byte for byte.
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <direct.h>
#endif

#include <string>
#include <vector>

#include "settings/app_state.h"
#include "settings/cfg_file.h"
#include "settings/cfg_text.h"
#include "support/fake_fatal.h"
#include "support/scratch.h"
#include "support/scratch_test.h"

namespace {

const char NO_FILE[] = "<no file>";

std::string lines(int count, const std::string& prefix) {
    std::string text;
    for (int i = 0; i < count; ++i)
        text += prefix + std::to_string(i) + "\r\n";
    return text;
}

class cfg_file : public scratch_test {
  protected:
    // Loads the given bytes (or no file), then saves; returns what was saved.
    std::string round_trip(const std::string& input) {
        if (input != NO_FILE)
            write_file("tarro.cfg", input);
        EXPECT_EQ(0, run_stage(load_cfg_file)) << last_fatal.text;
        EXPECT_EQ(0, run_stage(save_cfg_file)) << last_fatal.text;
        return read_file("tarro.cfg");
    }
};

// A line of length bytes as the loader keeps it: 254-byte pieces and the rest.
std::string pieces_of(size_t length, char c) {
    std::string text;
    for (; length > 254; length -= 254)
        text += std::string(254, c) + "\r\n";
    return text + std::string(length, c) + "\r\n";
}

struct round_trip_case {
    const char* name;
    std::string input;
    std::string saved;
};

const std::vector<round_trip_case>& round_trip_cases() {
    const std::string long_line(300, 'L');
    static const std::vector<round_trip_case> cases = {
        {"no file", NO_FILE, "R000x000x256 0\r\nV000x000x256 1\r\n"},
        {"empty file", "", "R000x000x256 0\r\nV000x000x256 1\r\n"},
        {"own lines kept", "R640x480x256 1\r\nV320x200x256 0\r\n",
         "R640x480x256 1\r\nV320x200x256 0\r\n"},
        {"lower-case letters", "r640x480x256 1\nv320x200x256 0\n",
         "R640x480x256 1\r\nV320x200x256 0\r\n"},
        {"colour count 16", "R640x480x16 0\r\n", "R640x480x65536 0\r\nV000x000x256 1\r\n"},
        {"colour count 32768", "R800x600x32768 0\r\n", "R800x600x65536 0\r\nV000x000x256 1\r\n"},
        {"colour count 0", "R640x480x0 0\r\n", "R640x480x65536 0\r\nV000x000x256 1\r\n"},
        {"auto video line", "V000x000x256 0\r\n", "R000x000x256 0\r\nV000x000x256 0\r\n"},
        {"0x reads as hexadecimal", "V0x480x65536 3\r\n",
         "R000x000x256 0\r\nV1152x65536x256 1\r\n"},
        {"zero sizes written as octal zeros", "R0640x000x256 1\r\nV0x0x0x1E0x256 0\r\n",
         "R416x000x256 1\r\nV000x000x256 0\r\n"},
        {"video height 0", "V640x000x256 2\r\n", "R000x000x256 0\r\nV640x000x256 2\r\n"},
        {"flags keep their numbers", "R640x480x256 7\r\nV320x200x256 -2\r\n",
         "R640x480x256 7\r\nV320x200x256 -2\r\n"},
        {"extra lines after the own ones", "; comment\r\nR640x480x256 1\r\n\r\n[x]\r\n",
         "R640x480x256 1\r\nV000x000x256 1\r\n; comment\r\n\r\n[x]\r\n"},
        {"blank lines kept", "\r\n\r\n", "R000x000x256 0\r\nV000x000x256 1\r\n\r\n\r\n"},
        {"leading blank makes an extra line", " R640x480x256 1\r\n",
         "R000x000x256 0\r\nV000x000x256 1\r\n R640x480x256 1\r\n"},
        {"second game line wins", "R640x480x256 1\r\nR320x200x65536 0\r\n",
         "R320x200x65536 0\r\nV000x000x256 1\r\n"},
        {"bare lf and crlf mixed", "a\nb\r\nc",
         "R000x000x256 0\r\nV000x000x256 1\r\na\r\nb\r\nc\r\n"},
        {"0x1a ends the file", "x\r\n\x1aR640x480x256 1\r\nmore\r\n",
         "R000x000x256 0\r\nV000x000x256 1\r\nx\r\n"},
        {"only 0x1a", "\x1a\x1a", "R000x000x256 0\r\nV000x000x256 1\r\n"},
        {"lone cr cuts the line", "R640x480x256 1\rV1x1x1 1\r\nkeep\rdrop\r\n",
         "R640x480x256 1\r\nV000x000x256 1\r\nkeep\r\n"},
        {"upper-case X stops the scan", "R640X480X256 1\r\n",
         "R640x000x256 0\r\nV000x000x256 1\r\n"},
        {"bare R keeps the mode", "R640x480x65536 1\r\nR\r\n",
         "R640x480x65536 1\r\nV000x000x256 1\r\n"},
        {"R with words keeps the mode", "R800x600x256 0\r\nRight\r\n",
         "R800x600x256 0\r\nV000x000x256 1\r\n"},
        {"missing flag keeps the flag", "R640x480x256 5\r\nR320x200x256\r\n",
         "R320x200x256 5\r\nV000x000x256 1\r\n"},
        {"octal and hex", "R01000x0x1E0x0400 0x1\r\n", "R512x480x256 1\r\nV000x000x256 1\r\n"},
        {"beyond 32 bits", "R4294967936x-4294966816x256 4294967297\r\n",
         "R640x480x256 1\r\nV000x000x256 1\r\n"},
        {"sign without digits", "R-x480x256 1\r\n", "R000x000x256 0\r\nV000x000x256 1\r\n"},
        {"0x without digits", "V0x\r\n", "R000x000x256 0\r\nV000x000x256 1\r\n"},
        {"300-byte line in two", long_line + "\r\n",
         "R000x000x256 0\r\nV000x000x256 1\r\n" + long_line.substr(0, 254) + "\r\n" +
             long_line.substr(254) + "\r\n"},
        {"254-byte line stays one", std::string(254, 'a') + "\r\nb\r\n",
         "R000x000x256 0\r\nV000x000x256 1\r\n" + std::string(254, 'a') + "\r\nb\r\n"},
        {"piece of a long line read as a game line",
         "#" + std::string(253, ' ') + "R640x480x256 1\r\n",
         "R640x480x256 1\r\nV000x000x256 1\r\n#" + std::string(253, ' ') + "\r\n"},
        {"nul ends the kept text", std::string("ab\0cd\r\n", 7),
         "R000x000x256 0\r\nV000x000x256 1\r\nab\r\n"},
        {"bytes from 0x80", "\xd2\xe9sum\xe9\r\n\xff\r\n",
         "R000x000x256 0\r\nV000x000x256 1\r\n\xd2\xe9sum\xe9\r\n\xff\r\n"},
        {"fifty extra lines", lines(50, "line "),
         "R000x000x256 0\r\nV000x000x256 1\r\n" + lines(50, "line ")},
        {"fifty extra lines and own lines", lines(50, "; ") + "R1x2x256 3\r\n" + "V4x5x256 6\r\n",
         "R1x2x256 3\r\nV4x5x256 6\r\n" + lines(50, "; ")},
        {"10000-byte line", std::string(10000, 'z') + "\r\n",
         "R000x000x256 0\r\nV000x000x256 1\r\n" + pieces_of(10000, 'z')},
    };
    return cases;
}

TEST_F(cfg_file, round_trips_byte_for_byte) {
    for (const round_trip_case& c : round_trip_cases()) {
        SCOPED_TRACE(c.name);
        reset_app_state();
        remove("tarro.cfg");
        EXPECT_EQ(c.saved, round_trip(c.input));
        // What the saver wrote reads back as the same file.
        reset_app_state();
        EXPECT_EQ(c.saved, round_trip(c.saved));
    }
}

struct settings_case {
    const char* name;
    std::string input;
    display_mode game, video;
    int32_t page_flipping, scale_videos;
};

const std::vector<settings_case>& settings_cases() {
    static const std::vector<settings_case> cases = {
        {"no file", NO_FILE, {0, 0, 0}, {0, 0, 0}, 0, 1},
        {"game and video", "r640x480x256 1\nv320x200x256 0\n", {640, 480, 0}, {320, 200, 0}, 1, 0},
        {"16-bit", "R640x480x65536 0\r\n", {640, 480, 1}, {0, 0, 0}, 0, 1},
        {"32768 colours", "R640x480x32768 0\r\n", {640, 480, 1}, {0, 0, 0}, 0, 1},
        {"auto", "V000x000x256 1\r\n", {0, 0, 0}, {0, 0, 0}, 0, 1},
        {"upper-case X", "R640X480X256 1\r\n", {640, 0, 0}, {0, 0, 0}, 0, 1},
        {"lone R", "R\r\n", {0, 0, 0}, {0, 0, 0}, 0, 1},
        {"negative flags", "R1x2x3 -1\r\nV4x5x256 -7\r\n", {1, 2, 1}, {4, 5, 0}, -1, -7},
        {"overflow", "R4294967295x2147483648x256 1\r\n", {-1, INT32_MIN, 0}, {0, 0, 0}, 1, 1},
    };
    return cases;
}

TEST_F(cfg_file, loads_the_settings) {
    for (const settings_case& c : settings_cases()) {
        SCOPED_TRACE(c.name);
        reset_app_state();
        remove("tarro.cfg");
        if (c.input != NO_FILE)
            write_file("tarro.cfg", c.input);
        ASSERT_EQ(0, run_stage(load_cfg_file));
        EXPECT_TRUE(modes_equal(c.game, app_state.game_mode))
            << app_state.game_mode.width << "x" << app_state.game_mode.height << "x"
            << app_state.game_mode.hicolor;
        EXPECT_TRUE(modes_equal(c.video, app_state.video_mode));
        EXPECT_EQ(c.page_flipping, app_state.page_flipping);
        EXPECT_EQ(c.scale_videos, app_state.scale_videos);
        EXPECT_EQ(0, app_state.extra_line_count);
    }
}

TEST_F(cfg_file, auto_keeps_the_video_depth_it_had) {
    app_state.video_mode = display_mode{0, 0, 1};
    app_state.scale_videos = 0;
    ASSERT_EQ(0, run_stage(save_cfg_file));
    EXPECT_EQ("R000x000x256 0\r\nV000x000x256 0\r\n", read_file("tarro.cfg"));
    EXPECT_EQ(1, app_state.video_mode.hicolor);
}

TEST_F(cfg_file, writes_extreme_numbers_in_decimal) {
    app_state.game_mode = display_mode{INT32_MIN, INT32_MAX, 5};
    app_state.video_mode = display_mode{-1, 0, 0};
    app_state.page_flipping = INT32_MIN;
    app_state.scale_videos = INT32_MAX;
    ASSERT_EQ(0, run_stage(save_cfg_file));
    const std::string saved =
        "R-2147483648x2147483647x65536 -2147483648\r\nV-1x000x256 2147483647\r\n";
    EXPECT_EQ(saved, read_file("tarro.cfg"));
    reset_app_state();
    EXPECT_EQ(saved, round_trip(saved));
}

struct fatal_case {
    const char* name;
    std::string input;
    const char* text;
};

const std::vector<fatal_case>& fatal_cases() {
    static const std::vector<fatal_case> cases = {
        {"51 extra lines", lines(51, "line "), "Too many lines!"},
        {"51 empty lines", std::string(51, '\n'), "Too many lines!"},
        {"49 lines and a 300-byte one", lines(49, "") + std::string(300, 'x'), "Too many lines!"},
        {"a binary file", std::string(2000, '\x01') + std::string(3000, '\n'), "Too many lines!"},
    };
    return cases;
}

TEST_F(cfg_file, refuses_a_fifty_first_extra_line) {
    for (const fatal_case& c : fatal_cases()) {
        SCOPED_TRACE(c.name);
        reset_app_state();
        write_file("tarro.cfg", c.input);
        last_fatal = fatal_record{};
        EXPECT_EQ(1, run_stage(load_cfg_file));
        EXPECT_EQ(1, last_fatal.count);
        EXPECT_EQ("load_cfg_file", last_fatal.caption);
        EXPECT_EQ(c.text, last_fatal.text);
        EXPECT_EQ(MAX_EXTRA_LINES, app_state.extra_line_count);
        EXPECT_EQ(c.input, read_file("tarro.cfg"));
    }
}

TEST_F(cfg_file, own_lines_do_not_count_towards_the_limit) {
    std::string input = lines(50, "x");
    for (int i = 0; i < 200; ++i)
        input += "R640x480x256 1\r\nV320x200x256 0\r\n";
    EXPECT_EQ("R640x480x256 1\r\nV320x200x256 0\r\n" + lines(50, "x"), round_trip(input));
}

TEST_F(cfg_file, a_folder_named_like_the_file_reads_as_no_file_and_cannot_be_written) {
#ifdef _WIN32
    ASSERT_EQ(0, _mkdir("tarro.cfg"));
#else
    ASSERT_EQ(0, mkdir("tarro.cfg", 0755));
#endif
    EXPECT_EQ(0, run_stage(load_cfg_file));
    EXPECT_EQ(0, app_state.extra_line_count);
    EXPECT_EQ(1, run_stage(save_cfg_file));
    EXPECT_EQ("save_cfg_file", last_fatal.caption);
    EXPECT_EQ("Unable to write to file 'TARRO.CFG'!", last_fatal.text);
}

TEST_F(cfg_file, a_file_too_large_to_form_is_reported_and_the_old_file_kept) {
    // The loader never keeps lines this long; the saver still refuses to
    // write a cut-off file.
    write_file("tarro.cfg", "old\r\n");
    static char long_line[CFG_CONTENT_MAX];
    memset(long_line, 'a', sizeof long_line - 1);
    app_state.extra_lines[0] = long_line;
    app_state.extra_line_count = 1;
    EXPECT_EQ(1, run_stage(save_cfg_file));
    app_state.extra_line_count = 0;
    EXPECT_EQ("Unable to write to file 'TARRO.CFG'!", last_fatal.text);
    EXPECT_EQ("old\r\n", read_file("tarro.cfg"));
}

TEST_F(cfg_file, the_largest_file_fits) {
    std::string input = "R-2147483648x-2147483648x65536 -2147483648\r\n"
                        "V-2147483648x-2147483648x65536 -2147483648\r\n";
    for (int i = 0; i < 50; ++i)
        input += "#" + std::string(253, static_cast<char>('a' + i % 26)) + "\r\n";
    ASSERT_EQ(static_cast<size_t>(CFG_CONTENT_MAX) - 8, input.size());
    EXPECT_EQ(input, round_trip(input));
}

} // namespace
