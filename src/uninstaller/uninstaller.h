// The uninstaller on Windows: its full-screen window and two dialogs, the removal of what the
// install made, and the hidden batch that deletes the uninstaller and its folder afterwards.
#pragma once
#include <stdint.h>

#include "platform/platform.h"
#include "uninstaller/uninstall_rules.h"

#ifdef _WIN32

#define UNINSTALL_WINDOW_CLASS "UnInstallProg"
#define UNINSTALL_WINDOW_TITLE "Uninstall"
// Stages of the uninstaller window; stage s from 2 on arrives as the message WM_USER + s.
#define STAGE_RUN_REMOVAL 2
#define STAGE_SHOW_UNINSTALL 3
#define MSG_RUN_REMOVAL 1026
#define MSG_SHOW_UNINSTALL 1027

int RunUninstaller(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand);
LRESULT CALLBACK UninstallerWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void SetUninstallStage(int32_t stage);
INT_PTR CALLBACK UninstallDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK UninstallDoneDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// installDir = the folder of the running uninstaller.
void SetInstallDirFromModule(void);
// Closes running copies, deletes the listed files (with the index files of help files), the
// Samples folder and the install folder when empty, the shortcuts, the uninstall entry and the
// Startup shortcut. Files the install did not write are left alone.
void RemoveInstalledItems(void);
// Writes "\DelUS.bat" and starts it hidden, suspended until the uninstaller raised its own
// priority, at idle priority.
void StartSelfDelete(void);

#endif
