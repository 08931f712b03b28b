// The progress dialog runs the install worker on a thread of its own and polls it; the two
// stream hooks move the bar, pump messages and turn a press of Cancel into a confirmed abort.
// The rollback dialog deletes what an aborted install had written.

// windows.h first: the common-controls and shell headers build on it.
#include "platform/platform.h"

#include <commctrl.h>

#include "actions/actions.h"
#include "installer/installer.h"
#include "installer/installer_rules.h"
#include "startup/setup_config.h"
#include "startup/setup_state.h"
#include "stream/block_stream.h"

namespace {

const UINT_PTR kPollTimer = 1;
const UINT kPollMs = 100;

// 1 while the worker runs on the window thread (no thread could be made). The pump of the tick
// hook then dispatches this dialog's own timer ticks, which must not end the dialog before the
// worker has returned its result.
int32_t workerRunningInline;

void SendToBar(UINT message, WPARAM wParam, LPARAM lParam) {
  if (setupState.progressBar) SendMessageA(setupState.progressBar, message, wParam, lParam);
}

void EndProgress(HWND dialog, INT_PTR result) {
  KillTimer(dialog, kPollTimer);
  EndDialog(dialog, result);
}

void PollWorker(HWND dialog) {
  DWORD code = 0;
  if (!setupState.workerThread || !GetExitCodeThread(setupState.workerThread, &code)) {
    EndProgress(dialog, setupState.workerResult);
    return;
  }
  if (code == STILL_ACTIVE) return;
  CloseHandle(setupState.workerThread);
  setupState.workerThread = nullptr;
  EndProgress(dialog, (INT_PTR)code);
}

void RemoveInstalledFiles(HWND dialog) {
  const int32_t count = setupState.filesDone < setupConfig.fileCount ? setupState.filesDone : setupConfig.fileCount;
  char path[PATH_SIZE];
  for (int32_t i = 0; i < count; i++) {
    const char* name = ConfigFileName(&setupConfig, i);
    if (!name) break;
    // A path that does not fit is left alone: a cut path could name another file.
    if (!InstallFilePath(setupState.installDir, i, name, path, sizeof path)) continue;
    SetDlgItemTextA(dialog, IDC_FILE_TEXT, path);
    DeleteFileA(path);
  }
  if (InstallFileFolder(setupState.installDir, INSTALL_FIRST_SAMPLE, path, sizeof path)) RemoveDirectoryA(path);
  RemoveDirectoryA(setupState.installDir);  // both stay when something else is still in them
}

}  // namespace

DWORD WINAPI WorkerThreadMain(LPVOID parameter) { return (DWORD)RunInstallWorker(static_cast<HWND>(parameter)); }

int32_t StartWorker(HWND dialog) {
  SetInstallProgressHandlers(ProgressTick, ProgressBytesWritten);
  DWORD threadId = 0;  // Windows 95 fails the call without a place for the id
  HANDLE thread = CreateThread(nullptr, 0, WorkerThreadMain, dialog, CREATE_SUSPENDED, &threadId);
  setupState.workerThread = thread;
  setupState.workerResult = INSTALL_COMPLETE;
  if (thread) {
    SetThreadPriority(thread, THREAD_PRIORITY_HIGHEST);
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_IDLE);
    ResumeThread(thread);
  } else {
    workerRunningInline = 1;
    setupState.workerResult = RunInstallWorker(dialog);
    workerRunningInline = 0;
  }
  return 1;
}

uint32_t ProgressBytesWritten(uint32_t count) {
  if (setupState.cancelRequested) {
    HWND owner = setupState.progressBar ? GetParent(setupState.progressBar) : nullptr;
    if (ConfirmAbort(owner)) {
      StreamAbort();
      setupState.installStopped = 1;
    }
    setupState.cancelRequested = 0;
  }
  setupState.progressPos = (int32_t)((uint32_t)setupState.progressPos + count);
  SendToBar(PBM_SETPOS, (WPARAM)setupState.progressPos, 0);
  MSG msg;
  PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
  return 0;
}

void ProgressTick(void) {
  if (!PumpDue(&setupState.pumpCounter)) return;
  int32_t paints = 0;
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (PumpMessage(msg.message == WM_PAINT, &paints, &setupState.pumpCounter) == PUMP_STOP) return;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

INT_PTR CALLBACK ProgressDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  (void)lParam;
  switch (message) {
    case WM_INITDIALOG: {
      char format[sizeof setupConfig.progressTextFormat];
      char productName[sizeof setupConfig.productName];
      CONFIG_FIELD(setupConfig.progressTextFormat, format);
      CONFIG_FIELD(setupConfig.productName, productName);
      char text[PROGRESS_TEXT_SIZE];
      FormatProductText(text, sizeof text, format, productName);
      SetDlgItemTextA(dialog, IDC_STATUS_TEXT, text);
      setupState.progressBar = GetDlgItem(dialog, IDC_PROGRESS_BAR);
      SendToBar(PBM_SETRANGE32, 0, (LPARAM)setupConfig.progressRange);
      setupState.cancelRequested = 0;
      setupState.installStopped = 0;
      setupState.progressTicks = 0;
      SetTimer(dialog, kPollTimer, kPollMs, nullptr);
      return TRUE;
    }
    case WM_TIMER:
      if (workerRunningInline) return FALSE;
      setupState.progressTicks++;
      if (setupState.progressTicks == 1) {
        StartWorker(dialog);
      } else {
        PollWorker(dialog);
      }
      return FALSE;
    case WM_COMMAND:
      // Cancel is the default button, so Enter and Esc both arrive here as IDCANCEL.
      if (LOWORD(wParam) == IDCANCEL && !setupState.installStopped) setupState.cancelRequested = 1;
      return TRUE;
    default:
      return FALSE;
  }
}

INT_PTR CALLBACK RollbackDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  (void)wParam;
  (void)lParam;
  switch (message) {
    case WM_INITDIALOG:
      setupState.progressBar = GetDlgItem(dialog, IDC_PROGRESS_BAR);
      SetDlgItemTextA(dialog, IDC_STATUS_TEXT, "Removing installed files:");
      EnableWindow(GetDlgItem(dialog, IDCANCEL), FALSE);
      SendToBar(PBM_SETRANGE32, 0, 10);
      SendToBar(PBM_SETPOS, 10, 0);
      setupState.installStopped = 0;
      SetTimer(dialog, kPollTimer, kPollMs, nullptr);
      return TRUE;
    case WM_TIMER:
      KillTimer(dialog, kPollTimer);
      RemoveInstalledFiles(dialog);
      EndDialog(dialog, 1);
      return FALSE;
    default:
      return FALSE;
  }
}
