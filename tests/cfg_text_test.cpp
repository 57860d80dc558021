// The text rules of tarro.cfg: how a line is cut, what kind it is, how its
// four numbers are scanned. Each table row is one case.
#include <gtest/gtest.h>

#include <stdint.h>

#include <string>
#include <vector>

#include "settings/cfg_text.h"
#include "support/scratch.h"

namespace {

struct scan_case {
    const char* text;
    int fields;
    int32_t width, height, colours, flag;
};

// Destinations start at 11, 22, 33, 44, so a field the scan does not reach
// shows as its start value.
const scan_case SCAN_CASES[] = {
    {"640x480x256 1", 4, 640, 480, 256, 1},
    {"640x480x65536 0", 4, 640, 480, 65536, 0},
    {"640X480X256 1", 1, 640, 22, 33, 44},
    {"", 0, 11, 22, 33, 44},
    {"words", 0, 11, 22, 33, 44},
    {" 640x 480x\t256   7", 4, 640, 480, 256, 7},
    {"640x480x256", 3, 640, 480, 256, 44},
    {"640x480x2561", 3, 640, 480, 2561, 44},
    {"640x480x256 ", 3, 640, 480, 256, 44},
    {"640x480x256\t\v\f1", 4, 640, 480, 256, 1},
    {"640 x480x256 1", 1, 640, 22, 33, 44},
    {"0x280x0x1E0x0X100 0x1", 4, 640, 480, 256, 1},
    {"0xfFfFx0x7fffffffx0 0", 4, 65535, 2147483647, 0, 0},
    {"010x0010x0400 -010", 4, 8, 8, 256, -8},
    {"000x000x256 1", 4, 0, 0, 256, 1},
    {"08x480x256 1", 1, 0, 22, 33, 44},
    {"09", 1, 0, 22, 33, 44},
    {"-640x+480x-256 -1", 4, -640, 480, -256, -1},
    {"4294967296x4294967297x4294967295 99999999999", 4, 0, 1, -1, 1215752191},
    {"-2147483648x2147483648x-4294967296 2147483647", 4, INT32_MIN, INT32_MIN, 0, INT32_MAX},
    {"0x100000000x0xFFFFFFFFFx1 1", 4, 0, -1, 1, 1},
    {"+", 0, 11, 22, 33, 44},
    {"-x480x256 1", 0, 11, 22, 33, 44},
    {"640x-", 1, 640, 22, 33, 44},
    {"0x", 0, 11, 22, 33, 44},
    {"0xg", 0, 11, 22, 33, 44},
    {"640x0x", 1, 640, 22, 33, 44},
    {"640x480x256 0x", 3, 640, 480, 256, 44},
    {"+-1", 0, 11, 22, 33, 44},
    {"1e3x2", 1, 1, 22, 33, 44},
    {"640x480x256 1 and more", 4, 640, 480, 256, 1},
    {"\xb6\x32", 0, 11, 22, 33, 44},
};

class scan_test : public testing::TestWithParam<scan_case> {};

TEST_P(scan_test, reads_fields_up_to_the_first_mismatch) {
    const scan_case& c = GetParam();
    int32_t width = 11, height = 22, colours = 33, flag = 44;
    EXPECT_EQ(c.fields, cfg_scan_numbers(c.text, &width, &height, &colours, &flag)) << c.text;
    EXPECT_EQ(c.width, width) << c.text;
    EXPECT_EQ(c.height, height) << c.text;
    EXPECT_EQ(c.colours, colours) << c.text;
    EXPECT_EQ(c.flag, flag) << c.text;
}

INSTANTIATE_TEST_SUITE_P(table, scan_test, testing::ValuesIn(SCAN_CASES));

TEST(scan, does_not_read_past_a_long_run_of_digits) {
    std::string text(10000, '7');
    int32_t width = 11, height = 22, colours = 33, flag = 44;
    EXPECT_EQ(1, cfg_scan_numbers(text.c_str(), &width, &height, &colours, &flag));
    EXPECT_EQ(22, height);
}

struct kind_case {
    const char* line;
    cfg_line_kind_t kind;
};

const kind_case KIND_CASES[] = {
    {"R640x480x256 1", CFG_GAME_LINE},
    {"r640x480x256 1", CFG_GAME_LINE},
    {"R", CFG_GAME_LINE},
    {"Rubbish", CFG_GAME_LINE},
    {"V000x000x256 1", CFG_VIDEO_LINE},
    {"v320x200x256 0", CFG_VIDEO_LINE},
    {" R640x480x256 1", CFG_EXTRA_LINE},
    {"\tV", CFG_EXTRA_LINE},
    {"", CFG_EXTRA_LINE},
    {"S", CFG_EXTRA_LINE},
    {"#R", CFG_EXTRA_LINE},
    {"\x80", CFG_EXTRA_LINE},
    {"\xd2", CFG_EXTRA_LINE}, // an upper-case R with an accent in Latin-1
    {"\xf2", CFG_EXTRA_LINE},
    {"\xff", CFG_EXTRA_LINE},
    {"\x52\x80", CFG_GAME_LINE},
};

class kind_test : public testing::TestWithParam<kind_case> {};

TEST_P(kind_test, is_decided_by_the_first_byte) {
    EXPECT_EQ(GetParam().kind, cfg_line_kind(GetParam().line));
}

INSTANTIATE_TEST_SUITE_P(table, kind_test, testing::ValuesIn(KIND_CASES));

struct cut_case {
    const char* line;
    const char* cut;
};

const cut_case CUT_CASES[] = {
    {"abc\n", "abc"}, {"abc", "abc"}, {"a\rb\n", "a"},
    {"\n", ""},       {"\r", ""},     {"R640x480x256 1\rmore\n", "R640x480x256 1"},
    {"a\r\r\n", "a"}, {"", ""},
};

TEST(cut_line_end, ends_the_line_at_its_first_cr_or_lf) {
    for (const cut_case& c : CUT_CASES) {
        char line[CFG_LINE_BUFFER];
        snprintf(line, sizeof line, "%s", c.line);
        cfg_cut_line_end(line);
        EXPECT_STREQ(c.cut, line) << c.line;
    }
}

// The pieces that the line reader delivers for a file's bytes.
struct read_case {
    const char* name;
    std::string bytes;
    std::vector<std::string> pieces;
};

std::string repeat(char c, size_t n) {
    return std::string(n, c);
}

const std::vector<read_case>& read_cases() {
    static const std::vector<read_case> cases = {
        {"crlf", "a\r\nb\r\n", {"a\n", "b\n"}},
        {"bare lf", "a\nb\n", {"a\n", "b\n"}},
        {"last line without lf", "a\nb", {"a\n", "b"}},
        {"lone cr stays", "a\rb\r\n", {"a\rb\n"}},
        {"cr at end", "a\r", {"a\r"}},
        {"cr cr lf", "\r\r\n", {"\r\n"}},
        {"lf cr", "\n\r", {"\n", "\r"}},
        {"0x1a ends the file", "a\x1a\nb\n", {"a"}},
        {"only 0x1a", "\x1a\x1a\x1a", {}},
        {"cr then 0x1a", "\r\x1a\n", {"\r"}},
        {"0x1a after a line", "a\r\n\x1a", {"a\n"}},
        {"empty", "", {}},
        {"empty lines", "\n\r\n\n", {"\n", "\n", "\n"}},
        {"nul inside", std::string("a\0b\n", 4), {std::string("a\0b\n", 4)}},
        {"300 bytes", repeat('x', 300) + "\n", {repeat('x', 254), repeat('x', 46) + "\n"}},
        {"254 bytes", repeat('x', 254) + "\r\n", {repeat('x', 254)}},
        {"254 bytes then an empty line", repeat('x', 254) + "\n\n", {repeat('x', 254), "\n"}},
        {"253 bytes", repeat('x', 253) + "\n", {repeat('x', 253) + "\n"}},
        {"255 bytes", repeat('x', 255) + "\n", {repeat('x', 254), "x\n"}},
        {"508 bytes", repeat('x', 508) + "\n", {repeat('x', 254), repeat('x', 254)}},
        {"254 bytes then a lone cr", repeat('x', 254) + "\ry\n", {repeat('x', 254), "\ry\n"}},
        {"254 bytes at the end", repeat('x', 254), {repeat('x', 254)}},
        {"crlf split over the read-ahead",
         repeat('x', 511) + "\r\ny",
         {repeat('x', 254), repeat('x', 254), "xxx\n", "y"}},
    };
    return cases;
}

TEST(read_line, splits_the_file_as_the_text_rules_say) {
    enter_scratch_folder();
    for (const read_case& c : read_cases()) {
        write_file("pieces.txt", c.bytes);
        FILE* file = fopen("pieces.txt", "rb");
        ASSERT_NE(nullptr, file);
        cfg_reader reader;
        cfg_reader_open(&reader, file);
        std::vector<std::string> pieces;
        char line[CFG_LINE_BUFFER];
        int length;
        while ((length = cfg_read_line(&reader, line, CFG_LINE_READ_COUNT)) > 0 &&
               pieces.size() < 100) {
            EXPECT_EQ('\0', line[length]) << c.name;
            pieces.push_back(std::string(line, length));
        }
        fclose(file);
        EXPECT_EQ(c.pieces, pieces) << c.name;
    }
}

} // namespace
