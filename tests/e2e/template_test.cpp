// The resources of the built taropts.exe: the options dialog's template as
// the program ships it, and no icon.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "e2e/taropts_driver.h"

namespace {

struct control {
    int id;
    std::string class_name;
    std::string text;
    int x, y, cx, cy;
    DWORD style;
};

struct dialog_template {
    DWORD style;
    DWORD extended_style;
    int x, y, cx, cy;
    std::string menu, class_name, caption;
    int point_size;
    std::string font;
    std::vector<control> controls;
};

const control EXPECTED_CONTROLS[] = {
    {17, "ComboBox", "", 25, 25, 75, 50, 0x50310203},
    {103, "ComboBox", "", 140, 25, 75, 50, 0x50310203},
    {101, "Button", "Enable &page flipping", 20, 75, 85, 10, 0x50010003},
    {105, "Button", "&Scale videos to screen", 20, 90, 85, 10, 0x50010003},
    {1, "Button", "&OK", 135, 70, 40, 15, 0x50010001},
    {2, "Button", "&Cancel", 185, 70, 40, 15, 0x50010000},
    {102, "Button", "&Defaults", 160, 95, 40, 14, 0x50010000},
    {107, "Button", "Game Resolution", 10, 10, 105, 40, 0x50000007},
    {108, "Button", "Video Resolution", 125, 10, 105, 40, 0x50000007},
    {109, "Button", "Options", 10, 60, 105, 50, 0x50000007},
};

// Reads a template field that is empty, an ordinal or a string.
class template_reader {
  public:
    template_reader(const BYTE* start, const BYTE* end) : start_(start), at_(start), end_(end) {}

    bool overrun() const {
        return at_ > end_;
    }
    WORD word() {
        WORD value = 0;
        if (at_ + 2 <= end_)
            memcpy(&value, at_, 2);
        at_ += 2;
        return value;
    }
    DWORD dword() {
        DWORD low = word();
        return low | static_cast<DWORD>(word()) << 16;
    }
    short coordinate() {
        return static_cast<short>(word());
    }
    std::string text() {
        std::string value;
        for (WORD c; (c = word()) != 0 && !overrun();)
            value += c < 0x80 ? static_cast<char>(c) : '?';
        return value;
    }
    // Empty, "#n" for an ordinal, or the string; ordinal classes by name.
    std::string name_or_ordinal(bool is_class) {
        WORD first = word();
        if (first == 0)
            return "";
        if (first != 0xFFFF) {
            at_ -= 2;
            return text();
        }
        WORD ordinal = word();
        static const char* const CLASSES[] = {"Button",  "Edit",      "Static",
                                              "ListBox", "ScrollBar", "ComboBox"};
        if (is_class && ordinal >= 0x80 && ordinal <= 0x85)
            return CLASSES[ordinal - 0x80];
        return "#" + std::to_string(ordinal);
    }
    void align_dword() {
        at_ = start_ + ((at_ - start_ + 3) & ~3);
    }

  private:
    const BYTE* start_;
    const BYTE* at_;
    const BYTE* end_;
};

HMODULE load_program() {
    return LoadLibraryExA(windows_path(TAROPTS_EXE).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
}

bool read_template(HMODULE program, dialog_template* out, std::string* error) {
    HRSRC found = FindResourceA(program, MAKEINTRESOURCEA(106), MAKEINTRESOURCEA(5));
    HGLOBAL loaded = found ? LoadResource(program, found) : nullptr;
    const BYTE* data = loaded ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
    if (data == nullptr) {
        *error = "no dialog resource 106";
        return false;
    }
    template_reader reader(data, data + SizeofResource(program, found));
    out->style = reader.dword();
    if (out->style == 0xFFFF0001) {
        *error = "106 is an extended dialog template";
        return false;
    }
    out->extended_style = reader.dword();
    int count = reader.word();
    out->x = reader.coordinate();
    out->y = reader.coordinate();
    out->cx = reader.coordinate();
    out->cy = reader.coordinate();
    out->menu = reader.name_or_ordinal(false);
    out->class_name = reader.name_or_ordinal(true);
    out->caption = reader.text();
    out->point_size = -1;
    if (out->style & DS_SETFONT) {
        out->point_size = reader.word();
        out->font = reader.text();
    }
    for (int i = 0; i < count && !reader.overrun(); ++i) {
        reader.align_dword();
        control c;
        c.style = reader.dword();
        reader.dword(); // extended style
        c.x = reader.coordinate();
        c.y = reader.coordinate();
        c.cx = reader.coordinate();
        c.cy = reader.coordinate();
        c.id = reader.word();
        c.class_name = reader.name_or_ordinal(true);
        c.text = reader.name_or_ordinal(false);
        for (int extra = reader.word(); extra > 0; extra -= 2)
            reader.word();
        out->controls.push_back(c);
    }
    if (reader.overrun()) {
        *error = "the template runs past its resource";
        return false;
    }
    return true;
}

class program_resources : public ::testing::Test {
  protected:
    void SetUp() override {
        program = load_program();
        ASSERT_NE(program, nullptr) << "cannot load " << TAROPTS_EXE << " as data";
    }
    void TearDown() override {
        if (program != nullptr)
            FreeLibrary(program);
    }
    HMODULE program = nullptr;
};

TEST_F(program_resources, options_dialog_template_as_specified) {
    dialog_template got;
    std::string error;
    ASSERT_TRUE(read_template(program, &got, &error)) << error;
    EXPECT_EQ(got.style, 0x10C008C4u);
    EXPECT_EQ(got.extended_style, 0u);
    EXPECT_EQ(got.x, 60);
    EXPECT_EQ(got.y, -11);
    EXPECT_EQ(got.cx, 242);
    EXPECT_EQ(got.cy, 120);
    EXPECT_EQ(got.menu, "");
    EXPECT_EQ(got.class_name, "");
    EXPECT_EQ(got.caption, "Tarrowind Windows 95 Options");
    EXPECT_EQ(got.point_size, 8);
    EXPECT_EQ(got.font, "Helv");

    const size_t expected_count = sizeof EXPECTED_CONTROLS / sizeof EXPECTED_CONTROLS[0];
    ASSERT_EQ(got.controls.size(), expected_count);
    for (size_t i = 0; i < expected_count; ++i) {
        const control& want = EXPECTED_CONTROLS[i];
        const control& have = got.controls[i];
        SCOPED_TRACE("control " + std::to_string(i) + ", id " + std::to_string(want.id));
        EXPECT_EQ(have.id, want.id);
        EXPECT_EQ(_stricmp(have.class_name.c_str(), want.class_name.c_str()), 0) << have.class_name;
        EXPECT_EQ(have.text, want.text);
        EXPECT_EQ(have.x, want.x);
        EXPECT_EQ(have.y, want.y);
        EXPECT_EQ(have.cx, want.cx);
        EXPECT_EQ(have.cy, want.cy);
        EXPECT_EQ(have.style, want.style) << std::hex << have.style;
    }
}

BOOL CALLBACK count_name(HMODULE, LPCSTR, LPSTR, LONG_PTR count) {
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

TEST_F(program_resources, no_icon) {
    for (LPCSTR type : {MAKEINTRESOURCEA(3), MAKEINTRESOURCEA(14)}) {
        int names = 0;
        EnumResourceNamesA(program, type, count_name, reinterpret_cast<LONG_PTR>(&names));
        EXPECT_EQ(names, 0) << "icon resources of type " << reinterpret_cast<UINT_PTR>(type);
    }
}

} // namespace
