#include "settings/app_state.h"

// Zero except scale_videos; constant-initialised, so it is ready before WinMain.
app_state_record app_state = {
    nullptr, nullptr, nullptr, {}, {}, 0, {0, 0, 0}, {0, 0, 0}, 0, 1, {}, 0,
};

bool modes_equal(const display_mode& a, const display_mode& b) {
    return a.width == b.width && a.height == b.height && a.hicolor == b.hicolor;
}

int32_t colour_count(int32_t hicolor) {
    return hicolor != 0 ? 65536 : 256;
}

int32_t hicolor_from_colour_count(int32_t count) {
    return count != 256 ? 1 : 0;
}

const char* colour_label(int32_t hicolor) {
    return hicolor != 0 ? "65536" : "256";
}

void apply_default_settings() {
    app_state.scale_videos = 1;
    app_state.page_flipping = 0;
    app_state.game_mode.width = 0;
    app_state.video_mode = display_mode{0, 0, 0};
}
