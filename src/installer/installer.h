// The installer wizard: the full-screen window with its stage machine, and the Welcome,
// progress, rollback and finish dialogs that it opens one after another.
#pragma once
#include <stdint.h>

#include "installer/installer_ids.h"
#include "platform/platform.h"

#ifdef _WIN32
// Installer mode of the entry: runs the wizard to its end and starts the product when the user
// asked for it. Returns the message loop's quit code (0).
int RunInstaller(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand);
LRESULT CALLBACK InstallerWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Chooses the next stage; one 50-ms tick of the stage timer later its message is posted.
void SetStage(int32_t stage);

// Welcome dialog and destination folder.
void InitDefaultInstallDir(void);
INT_PTR CALLBACK WelcomeDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
int32_t BrowseForInstallDir(HWND owner);
int CALLBACK BrowseCallback(HWND browser, UINT message, LPARAM lParam, LPARAM data);
// "Do you really want to abort?": 1 for Yes.
int32_t ConfirmAbort(HWND owner);

// Progress dialog, worker thread, cancel and rollback.
INT_PTR CALLBACK ProgressDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
int32_t StartWorker(HWND dialog);
DWORD WINAPI WorkerThreadMain(LPVOID parameter);
// The stream's progress hooks while the worker installs.
uint32_t ProgressBytesWritten(uint32_t count);
void ProgressTick(void);
INT_PTR CALLBACK RollbackDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Finish dialog and launch.
INT_PTR CALLBACK FinishDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
void LaunchProduct(void);
#endif
