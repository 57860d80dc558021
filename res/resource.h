/* Resource identifiers shared by the dialog code and the resource script. */
#ifndef TAROPTS_RESOURCE_H
#define TAROPTS_RESOURCE_H

#define IDD_OPTIONS 106

#define IDC_GAME_RES 17
#define IDC_PAGE_FLIP 101
#define IDC_DEFAULTS 102
#define IDC_VIDEO_RES 103
#define IDC_SCALE_VIDEOS 105
#define IDC_GAME_GROUP 107
#define IDC_VIDEO_GROUP 108
#define IDC_OPTIONS_GROUP 109

#endif
