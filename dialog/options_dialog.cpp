// The options dialog: check boxes, lists and the OK, Cancel and Defaults buttons.
#include "dialog/options_dialog.h"

#include "dialog/mode_lists.h"
#include "res/resource.h"
#include "settings/app_state.h"

INT_PTR CALLBACK options_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
    if (message == WM_INITDIALOG) {
        // The flags go in as the numbers the file gave.
        CheckDlgButton(dialog, IDC_SCALE_VIDEOS, app_state.scale_videos);
        CheckDlgButton(dialog, IDC_PAGE_FLIP, app_state.page_flipping);
        fill_mode_lists(dialog);
        return TRUE;
    }
    if (message != WM_COMMAND)
        return FALSE;

    switch (LOWORD(wparam)) {
    case IDOK:
        app_state.scale_videos = IsDlgButtonChecked(dialog, IDC_SCALE_VIDEOS);
        app_state.page_flipping = IsDlgButtonChecked(dialog, IDC_PAGE_FLIP);
        read_mode_lists(dialog);
        EndDialog(dialog, OPTIONS_OK);
        return TRUE;
    case IDCANCEL:
        EndDialog(dialog, OPTIONS_CANCEL);
        return TRUE;
    case IDC_DEFAULTS:
        apply_default_settings();
        CheckDlgButton(dialog, IDC_SCALE_VIDEOS, app_state.scale_videos);
        CheckDlgButton(dialog, IDC_PAGE_FLIP, app_state.page_flipping);
        fill_mode_lists(dialog);
        return FALSE;
    }
    return FALSE;
}
