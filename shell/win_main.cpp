// The entry: the run from start to end, once.
#include <setjmp.h>

#include "dialog/options_dialog.h"
#include "modes/display_modes.h"
#include "res/resource.h"
#include "settings/app_state.h"
#include "settings/cfg_file.h"
#include "shell/host_window.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    app_state.instance = instance;
    if (!init_host_window(instance))
        return 0;

    // Every fatal_error from here on comes back to this point; nothing after
    // it runs and nothing is cleaned up.
    if (setjmp(app_state.fatal_jump) != 0)
        return 1;

    load_cfg_file();
    find_display_modes();
    INT_PTR result = DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_OPTIONS), app_state.host_window,
                                     options_dialog_proc, 0);
    if (result == OPTIONS_OK)
        save_cfg_file();
    return 0;
}
