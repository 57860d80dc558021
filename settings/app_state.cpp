// The process-wide record of settings, display modes and kept lines.
#include "settings/app_state.h"

// Zero but for the default flags; set up before WinMain runs.
app_state_record app_state;

int32_t colour_count(int32_t hicolor) {
    return hicolor != 0 ? 65536 : 256;
}

void apply_default_settings() {
    app_state.scale_videos = DEFAULT_SCALE_VIDEOS;
    app_state.page_flipping = DEFAULT_PAGE_FLIPPING;
    // Width 0 matches no display mode, so the game list falls back to its
    // first entry; height and depth are left as they were.
    app_state.game_mode.width = 0;
    app_state.video_mode = display_mode{0, 0, 0};
}
