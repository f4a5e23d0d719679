// Resource numbers of the tray program.
#pragma once

// Dialogs
#define IDD_MAIN 102
#define IDD_MINIBAR 106
#define IDD_POPUP_BLOCKED 107
#define IDD_SPLASH 137
#define IDD_ABOUT 154

// Registration scripts
#define IDR_APPID_SCRIPT 201
#define IDR_POPUP_SERVICE_SCRIPT 202

// Icons
#define IDI_MAIN 128
#define IDI_ALERT 214

// Bitmaps (magenta is transparent). The minibar's, the toggle strip's and
// the menu icons are numbered as the rules in tray/core name them.
#define IDB_MAIN_SKIN 130
#define IDB_BUTTON_FACE 139
#define IDB_ABOUT_SKIN 153
#define IDB_TIP_SKIN 191

// Strings
#define IDS_CLEAR 133
#define IDS_OPEN 134
#define IDS_REMOVE 135
#define IDS_PRODUCT_NAME 136
#define IDS_LAST_POPUP_CAPTION 137
#define IDS_POPUPED_AT_CAPTION 138
#define IDS_TODAY_CAPTION 139
#define IDS_TOTAL_CAPTION 140
#define IDS_NO_VALUE 141
#define IDS_OK_BUTTON 142
#define IDS_CONFIRM_EXIT 147
#define IDS_MSGBOX_OK 148
#define IDS_MSGBOX_CANCEL 149
#define IDS_MSGBOX_NO 150
#define IDS_MSGBOX_IGNORE 151
#define IDS_MSGBOX_RETRY 152
#define IDS_MSGBOX_ABORT 153
#define IDS_MSGBOX_TRY 154
#define IDS_MSGBOX_CONTINUE 155
#define IDS_MSGBOX_YES 156
#define IDS_MANUAL_MISSING 157
#define IDS_MENU_LAST_POPUP 158
#define IDS_MENU_SETTINGS 159
#define IDS_MENU_UPDATE 160
#define IDS_MENU_HELP 161
#define IDS_MENU_ABOUT 162
#define IDS_MENU_EXIT 163
#define IDS_TIP_ENABLE 164
#define IDS_TIP_MAIN 165
#define IDS_TIP_LEFT 166
#define IDS_TIP_MENU 167
#define IDS_TIP_CLOSE 169
#define IDS_CONFIRM_DELETE 170
#define IDS_TIP_DISABLE 171
#define IDS_UPDATED_TO 10274
#define IDS_UP_TO_DATE 10279
#define IDS_BASES_UP_TO_DATE 10281
#define IDS_BASES_UPDATED_TO 10282
#define IDS_FILE_ABSENT 10283

// Main window controls
#define IDC_TOGGLE_STRIP 1000
#define IDC_HISTORY_LIST 1001
#define IDC_OPEN 1002
#define IDC_REMOVE 1003
#define IDC_CLEAR 1004
#define IDC_MENU_STRIP 1014
#define IDC_EXIT_STRIP 1015
#define IDC_LAST_POPUP_CAPTION 1070
#define IDC_LAST_POPUP_VALUE 1071
#define IDC_POPUPED_AT_CAPTION 1072
#define IDC_POPUPED_AT_VALUE 1073
#define IDC_TODAY_CAPTION 1074
#define IDC_TODAY_VALUE 1075
#define IDC_TOTAL_CAPTION 1076
#define IDC_TOTAL_VALUE 1077

// Splash window and about box
#define IDC_SPLASH_VERSION 1005
#define IDC_ABOUT_VERSION 1006

// Minibar buttons
#define IDC_MINIBAR_LEFT 1059
#define IDC_MINIBAR_CLOSE 1061
#define IDC_MINIBAR_INFO 1062
#define IDC_MINIBAR_ENABLE 1063
#define IDC_MINIBAR_TASK 1064
#define IDC_MINIBAR_MAIN 1065

// Blocked-pop-up tip
#define IDC_TIP_TEXT 1068

// Commands shared by the main window, the tray icon and the minibar menu
#define ID_CMD_UPDATE 0x8008
#define ID_CMD_EXIT 0x8009
#define ID_CMD_ABOUT 0x800A
#define ID_CMD_SETTINGS 0x800B
#define ID_CMD_OPEN_LAST_POPUP 0x800D
#define ID_CMD_HELP 0xE146

// Messages to the main window
#define WM_QLX_MINIBAR_CLOSED (WM_USER + 5)
#define WM_QLX_BLOCKING_CHANGED (WM_USER + 6)
#define WM_QLX_TRAY_ICON 33100
