// Resource IDs of the installer executable.
#pragma once

#define IDD_INSTALLER_DIALOG     102
#define IDR_MAINFRAME            128

// Skin images, resource type "PNG".
#define IDB_SKIN_BACKGROUND      129
#define IDB_SKIN_CLOSE           130
#define IDB_SKIN_MINIMIZE        131
#define IDB_SKIN_BROWSE          132
#define IDB_SKIN_CHECKBOX        133
#define IDB_SKIN_INSTALL         134
#define IDB_SKIN_PROGRESS_FILL   135
#define IDB_SKIN_PROGRESS_TRACK  136
#define IDB_SKIN_FINISH          137
#define IDB_SKIN_PATH_ERROR      138

// Controls of dialog 102.
#define IDC_GROUP_INSTALL_DIR    1000
#define IDC_BTN_BROWSE           1001
#define IDC_EDIT_INSTALL_DIR     1002
#define IDC_CHK_AUTORUN          1003
#define IDC_CHK_TASKBAR          1004
#define IDC_CHK_AGREE            1005
#define IDC_LINK_LICENSE         1006
#define IDC_BTN_INSTALL          1007
#define IDC_PROGRESS             1008
#define IDC_STATIC_STATUS        1009
#define IDC_STATIC_PERCENT       1010
#define IDC_STATIC_DONE_TITLE    1011
#define IDC_STATIC_DONE_HINT     1012
#define IDC_CHK_RUN_CLIENT       1013
#define IDC_BTN_FINISH           1014
#define IDC_STATIC_PATH_ERROR    1015
