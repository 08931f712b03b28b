// The uninstaller's full-screen window: the same backdrop as the installer, revealed from the
// uninstaller's own archive, then the question (dialog 301), the removal, the finished message
// (dialog 302) and the self-deleting batch. One thread; a one-shot stage timer moves the run on
// after each handler has returned.
#include "actions/action_rules.h"
#include "backdrop/backdrop.h"
#include "installer/installer_ids.h"
#include "startup/setup_config.h"
#include "startup/setup_state.h"
#include "uninstaller/uninstaller.h"

namespace {

int32_t uninstallStage;
int32_t uninstallRevealIndex;

void SetMainText(HWND dialog, int32_t ok, const char* text) {
  SetDlgItemTextA(dialog, IDC_MAIN_TEXT, ok ? text : "");
}

}  // namespace

void SetUninstallStage(int32_t stage) {
  uninstallStage = stage;
  SetTimer(setupState.mainWindow, TIMER_STAGE, STAGE_TIMER_MS, nullptr);
}

INT_PTR CALLBACK UninstallDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: {
      char productName[sizeof setupConfig.productName];
      CONFIG_FIELD(setupConfig.productName, productName);
      char text[UNINSTALL_TEXT_SIZE];
      SetMainText(dialog, FormatUninstallQuestion(productName, text, sizeof text), text);
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) EndDialog(dialog, IDOK);
      if (LOWORD(wParam) == IDCANCEL) EndDialog(dialog, IDCANCEL);
      return TRUE;
    case WM_ACTIVATE:
    case WM_QUERYNEWPALETTE:
    case WM_PALETTEISCHANGING:
    case WM_PALETTECHANGED:
      OnPaletteMessage(message, wParam);
      return FALSE;
    default:
      return FALSE;
  }
}

INT_PTR CALLBACK UninstallDoneDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: {
      char productName[sizeof setupConfig.productName];
      char version[sizeof setupConfig.version];
      CONFIG_FIELD(setupConfig.productName, productName);
      CONFIG_FIELD(setupConfig.version, version);
      char text[UNINSTALL_TEXT_SIZE];
      SetMainText(dialog, FormatUninstallDone(productName, version, text, sizeof text), text);
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) EndDialog(dialog, IDCANCEL);
      return TRUE;
    default:
      return FALSE;
  }
}

LRESULT CALLBACK UninstallerWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      setupState.mainWindow = window;
      SetTimer(window, TIMER_REVEAL, REVEAL_TIMER_MS, nullptr);
      return 1;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 1;
    case WM_ACTIVATE:
    case WM_QUERYNEWPALETTE:
    case WM_PALETTEISCHANGING:
    case WM_PALETTECHANGED:
      OnPaletteMessage(message, wParam);
      break;
    case WM_PAINT:
      return PaintPieces(window) ? 1 : 0;
    case WM_ERASEBKGND:
      EraseBackdrop((HDC)wParam);
      return 1;
    case WM_TIMER:
      if (wParam == TIMER_STAGE) {
        KillTimer(window, TIMER_STAGE);
        if (uninstallStage == STAGE_EXIT) {
          DestroyWindow(setupState.mainWindow);
        } else if (uninstallStage == STAGE_RUN_REMOVAL || uninstallStage == STAGE_SHOW_UNINSTALL) {
          PostMessageA(window, WM_USER + uninstallStage, 0, 0);
        }
      } else if (wParam == TIMER_REVEAL) {
        KillTimer(window, TIMER_REVEAL);
        int32_t index = uninstallRevealIndex++;
        if (RevealPiece(index)) {
          SetTimer(window, TIMER_REVEAL, REVEAL_TIMER_MS, nullptr);
        } else {
          SetUninstallStage(STAGE_SHOW_UNINSTALL);
        }
      }
      break;
    case MSG_SHOW_UNINSTALL: {
      INT_PTR choice = DialogBoxParamA(setupState.instance, MAKEINTRESOURCEA(IDD_UNINSTALL), window, UninstallDlgProc, 0);
      SetUninstallStage(choice == IDOK ? STAGE_RUN_REMOVAL : STAGE_EXIT);
      break;
    }
    case MSG_RUN_REMOVAL:
      RemoveInstalledItems();
      DialogBoxParamA(setupState.instance, MAKEINTRESOURCEA(IDD_UNINSTALL_DONE), window, UninstallDoneDlgProc, 0);
      StartSelfDelete();
      SetUninstallStage(STAGE_EXIT);
      break;
    default:
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

int RunUninstaller(HINSTANCE instance, HINSTANCE previous, LPSTR, int) {
  setupState.instance = instance;
  if (!previous) {
    WNDCLASSA windowClass;
    ZeroMemory(&windowClass, sizeof windowClass);
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = UninstallerWndProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_UNINSTALL));
    windowClass.hCursor = LoadCursorA(nullptr, (LPCSTR)IDC_ARROW);
    windowClass.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    windowClass.lpszClassName = UNINSTALL_WINDOW_CLASS;
    RegisterClassA(&windowClass);
  }
  RECT desktop;
  GetWindowRect(GetDesktopWindow(), &desktop);
  HWND window = CreateWindowExA(0, UNINSTALL_WINDOW_CLASS, UNINSTALL_WINDOW_TITLE, WS_POPUP | WS_VISIBLE, desktop.left,
                                desktop.top, desktop.right - desktop.left, desktop.bottom - desktop.top, nullptr, nullptr,
                                instance, nullptr);
  // Without a window nothing would ever end the message loop.
  if (!window) return 0;
  MSG msg;
  msg.wParam = 0;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return (int)msg.wParam;
}
