// Numbers shared by the wizard's code and the resource script: dialog, icon, bitmap and control
// ids, the stage numbers and the window messages that deliver them. Plain #defines only, since
// the resource compiler reads this file too.
#pragma once

// Dialogs. The low-colour variants are the high-colour id + LOW_COLOUR_MODE (100).
#define IDD_WELCOME 101
#define IDD_FINISH 102
#define IDD_PROGRESS 103
#define IDD_PROGRESS_PLAIN 109
#define IDD_WELCOME_LOW 201
#define IDD_FINISH_LOW 202
#define IDD_UNINSTALL 301
#define IDD_UNINSTALL_DONE 302

// Icon groups (104 must stay the first: Windows shows the first group as the file's icon) and
// the side pictures of the Welcome and finish dialogs.
#define IDI_SETUP 104
#define IDI_UNINSTALL 301
#define IDB_SIDE_PICTURE 103
#define IDB_SIDE_PICTURE_LOW 107

// Controls.
#define IDC_FINISH 6
#define IDC_CANCEL_BUTTON 7
#define IDC_STATUS_TEXT 105
#define IDC_FILE_TEXT 106
#define IDC_MAIN_TEXT 108
#define IDC_READY_TEXT 110
#define IDC_BROWSE 114
#define IDC_DEST_DIR 115
#define IDC_RUN_CHECK 1001
#define IDC_PROGRESS_BAR 1002

// The stage machine: a stage s from 2 to 7 is delivered as the window message WM_USER + s.
#define TIMER_STAGE 1
#define TIMER_REVEAL 2
#define STAGE_TIMER_MS 50
#define REVEAL_TIMER_MS 10
#define STAGE_EXIT 1
#define STAGE_RUN_INSTALL 2
#define STAGE_SHOW_FINISH 3
#define STAGE_SHOW_WELCOME 4
#define STAGE_ROLLBACK 5
#define MSG_RUN_INSTALL 1026
#define MSG_SHOW_FINISH 1027
#define MSG_SHOW_WELCOME 1028
#define MSG_ROLLBACK 1029

// The Welcome dialog's result for the Finish button (the worker's results are INSTALL_COMPLETE,
// INSTALL_STOPPED and INSTALL_FAILED of the actions).
#define WELCOME_FINISH 6
