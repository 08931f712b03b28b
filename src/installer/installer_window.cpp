// The installer's full-screen window: it shows the backdrop, reveals its pictures on a 10-ms
// timer, then runs the wizard as a stage machine in which every step opens one modal dialog and
// chooses the next stage through a 50-ms one-shot timer.

// windows.h first: the common-controls and shell headers build on it.
#include "platform/platform.h"

#include <commctrl.h>

#include "actions/actions.h"
#include "archive/archive.h"
#include "backdrop/backdrop.h"
#include "installer/installer.h"
#include "installer/installer_rules.h"
#include "startup/setup_config.h"
#include "startup/setup_state.h"

namespace {

const char kClassName[] = "QuillonSetupClass";
const char kWindowTitle[] = "Install";
const char kTruncatedText[] =
    "This setup program is truncated.  It's most likely that the download wasn't fully completed.  Please get a new "
    "copy.";

typedef BOOL(WINAPI* InitCommonControlsExProc)(const INITCOMMONCONTROLSEX*);

// Loads the common-controls library from the system folder (never from the folder the setup was
// started in) and registers its progress bar. 1 when the bar is available.
int32_t InitProgressBarClass(void) {
  char path[MAX_PATH + 16];
  const UINT length = GetSystemDirectoryA(path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return 0;
  const char* args[1] = {path};
  char library[MAX_PATH + 16];
  if (!FormatText(library, sizeof library, "%s\\COMCTL32.DLL", args, 1)) return 0;
  HMODULE comctl = LoadLibraryA(library);  // stays loaded for the rest of the process
  if (!comctl) return 0;
  FARPROC proc = GetProcAddress(comctl, "InitCommonControlsEx");
  if (!proc) return 0;
  InitCommonControlsExProc init = reinterpret_cast<InitCommonControlsExProc>(reinterpret_cast<void (*)(void)>(proc));
  INITCOMMONCONTROLSEX icc;
  icc.dwSize = sizeof icc;
  icc.dwICC = ICC_PROGRESS_CLASS;
  init(&icc);  // what it answers does not matter: the function exists, so the bar is used
  return 1;
}

void OnStageTimer(void) {
  KillTimer(setupState.mainWindow, TIMER_STAGE);
  if (setupState.pendingStage == STAGE_EXIT) {
    if (setupState.archiveHandle != FILE_HANDLE_INVALID) {
      CloseArchive(setupState.archiveHandle);
      setupState.archiveHandle = FILE_HANDLE_INVALID;
    }
    DestroyWindow(setupState.mainWindow);
    return;
  }
  const UINT message = StageMessage(setupState.pendingStage);
  if (message) PostMessageA(setupState.mainWindow, message, 0, 0);
}

void OnRevealTimer(HWND window) {
  KillTimer(window, TIMER_REVEAL);
  const int32_t index = setupState.revealIndex++;
  if (RevealPiece(index)) {
    SetTimer(window, TIMER_REVEAL, REVEAL_TIMER_MS, nullptr);
  } else {
    SetStage(STAGE_SHOW_WELCOME);
  }
}

void ShowWelcome(HWND window) {
  setupState.archiveHandle = OpenArchive(nullptr);
  if (setupState.archiveHandle == FILE_HANDLE_INVALID) {
    MessageBoxA(window, kTruncatedText, kWindowTitle, MB_ICONERROR | MB_OK);
    SetStage(STAGE_EXIT);
    return;
  }
  const INT_PTR result = DialogBoxParamA(setupState.instance, MAKEINTRESOURCEA(IDD_WELCOME + setupState.lowColourMode),
                                         window, WelcomeDlgProc, 0);
  SetStage(result == WELCOME_FINISH ? STAGE_RUN_INSTALL : STAGE_EXIT);
}

void RunInstall(HWND window) {
  const int32_t barAvailable = InitProgressBarClass();
  const INT_PTR result = DialogBoxParamA(
      setupState.instance, MAKEINTRESOURCEA(barAvailable ? IDD_PROGRESS : IDD_PROGRESS_PLAIN), window, ProgressDlgProc, 0);
  CloseArchive(setupState.archiveHandle);
  setupState.archiveHandle = FILE_HANDLE_INVALID;
  if (result == INSTALL_COMPLETE) {
    SetStage(STAGE_SHOW_FINISH);
    return;
  }
  if (result == INSTALL_FAILED) {
    // Said before the rollback starts, so the user knows why the files go away again.
    char text[DIALOG_TEXT_SIZE];
    WriteFailedText(text, sizeof text, InstallFailedFile());
    MessageBoxA(window, text, kWindowTitle, MB_ICONERROR | MB_OK);
  }
  SetStage(STAGE_ROLLBACK);
}

void ShowFinish(HWND window) {
  DialogBoxParamA(setupState.instance, MAKEINTRESOURCEA(IDD_FINISH + setupState.lowColourMode), window, FinishDlgProc,
                  0);
  SetStage(STAGE_EXIT);
}

void RunRollback(HWND window) {
  // Without the common controls dialog 103 may not be created; the plain one still deletes.
  if (DialogBoxParamA(setupState.instance, MAKEINTRESOURCEA(IDD_PROGRESS), window, RollbackDlgProc, 0) == -1) {
    DialogBoxParamA(setupState.instance, MAKEINTRESOURCEA(IDD_PROGRESS_PLAIN), window, RollbackDlgProc, 0);
  }
  SetStage(STAGE_EXIT);
}

}  // namespace

void SetStage(int32_t stage) {
  setupState.pendingStage = stage;
  SetTimer(setupState.mainWindow, TIMER_STAGE, STAGE_TIMER_MS, nullptr);
}

LRESULT CALLBACK InstallerWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      setupState.mainWindow = window;
      ProbeColourDepth(window);
      InitDefaultInstallDir();
      SetTimer(window, TIMER_REVEAL, REVEAL_TIMER_MS, nullptr);
      return 1;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 1;
    case WM_ACTIVATE:
      OnPaletteMessage(message, wParam);
      break;
    case WM_PAINT:
      return PaintPieces(window) ? 1 : 0;
    case WM_ERASEBKGND:
      EraseBackdrop(reinterpret_cast<HDC>(wParam));
      return 1;
    case WM_TIMER:
      if (wParam == TIMER_STAGE) {
        OnStageTimer();
      } else if (wParam == TIMER_REVEAL) {
        OnRevealTimer(window);
      }
      break;
    case WM_QUERYNEWPALETTE:
    case WM_PALETTEISCHANGING:
    case WM_PALETTECHANGED:
      OnPaletteMessage(message, wParam);
      return 0;
    case MSG_SHOW_WELCOME:
      ShowWelcome(window);
      break;
    case MSG_RUN_INSTALL:
      RunInstall(window);
      break;
    case MSG_SHOW_FINISH:
      ShowFinish(window);
      break;
    case MSG_ROLLBACK:
      RunRollback(window);
      break;
    default:
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

int RunInstaller(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand) {
  (void)commandLine;
  (void)showCommand;
  setupState.instance = instance;
  if (!previous) {
    WNDCLASSA windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = InstallerWndProc;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_SETUP));
    windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
    windowClass.hbrBackground = CreateSolidBrush((COLORREF)setupConfig.backColour);  // kept for the process
    windowClass.lpszMenuName = nullptr;
    windowClass.lpszClassName = kClassName;
    RegisterClassA(&windowClass);
  }
  RECT desktop = {0, 0, 0, 0};
  GetWindowRect(GetDesktopWindow(), &desktop);
  HWND window = CreateWindowExA(0, kClassName, kWindowTitle, WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN,
                                desktop.left, desktop.top, desktop.right - desktop.left, desktop.bottom - desktop.top,
                                nullptr, nullptr, instance, nullptr);
  // Without a window no stage would ever run and the loop below would wait forever.
  if (!window) return 0;
  MSG msg;
  BOOL got;
  while ((got = GetMessageA(&msg, nullptr, 0, 0)) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  LaunchProduct();
  return got == 0 ? (int)msg.wParam : 0;
}
