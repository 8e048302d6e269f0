/* Resource ids of the installer: dialog, controls, strings, bitmaps, the icon and the animation timer. */
#ifndef RES_RESOURCE_H
#define RES_RESOURCE_H

/* dialog */
#define IDD_INSTALL             101

/* controls, in template order */
#define IDC_PICTURE             1000
#define IDC_BUTTON_START        1002
#define IDC_BUTTON_INSTALL      1001
#define IDC_BUTTON_END          1003
#define IDC_LABEL               1004
#define IDC_BUTTON_BACK         1005
#define IDC_BUTTON_NEXT         1006
#define IDC_COMBO_TYPE          1007
#define IDC_EDIT_DIR            1008
#define IDC_BUTTON_BROWSE       1009
#define IDC_PROGRESS            1010

/* strings */
#define IDS_CAPTION             1
#define IDS_START               2
#define IDS_INSTALL             3
#define IDS_UNINSTALL           4
#define IDS_EXIT                5
#define IDS_BRAND               6
#define IDS_TITLE               7
#define IDS_TYPE_FULL           8
#define IDS_TYPE_STANDARD       9
#define IDS_TYPE_MINIMAL        10
#define IDS_FILES_FULL          11
#define IDS_FILES_STANDARD      12
#define IDS_FILES_MINIMAL       13
#define IDS_GAME_EXE            14
#define IDS_UNINSTALLER_EXE     15
#define IDS_FRAME_COUNT         16
#define IDS_FRAME_INTERVAL      17

/* bitmaps: the still picture, fifteen animation frames, one blank */
#define IDB_FRAME_FIRST         111
#define IDB_FRAME_LAST          127

/* icons: the product's, shared by the three programs */
#define IDI_PRODUCT             100

/* timer */
#define IDT_ANIMATION           0x7FFF

#endif
