// The finish dialog after a completed install, with its "Run" check box, and the start of the
// installed main program once the installer window has gone.
#include "actions/action_rules.h"
#include "installer/installer.h"
#include "installer/installer_rules.h"
#include "startup/setup_config.h"
#include "startup/setup_state.h"

INT_PTR CALLBACK FinishDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  (void)lParam;
  switch (message) {
    case WM_INITDIALOG: {
      char productName[sizeof setupConfig.productName];
      char version[sizeof setupConfig.version];
      char samplesNoun[sizeof setupConfig.samplesNoun];
      CONFIG_FIELD(setupConfig.productName, productName);
      CONFIG_FIELD(setupConfig.version, version);
      CONFIG_FIELD(setupConfig.samplesNoun, samplesNoun);
      char text[DIALOG_TEXT_SIZE];
      FinishText(text, sizeof text, productName, version, samplesNoun, setupState.installDir);
      SetDlgItemTextA(dialog, IDC_MAIN_TEXT, text);
      setupState.runAfterFinish = 1;
      const char* args[1] = {productName};
      FormatText(text, sizeof text, "Run %s", args, 1);
      SetDlgItemTextA(dialog, IDC_RUN_CHECK, text);
      SendDlgItemMessageA(dialog, IDC_RUN_CHECK, BM_SETCHECK, (WPARAM)setupState.runAfterFinish, 0);
      return TRUE;
    }
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_RUN_CHECK:
          setupState.runAfterFinish = (int32_t)SendDlgItemMessageA(dialog, IDC_RUN_CHECK, BM_GETCHECK, 0, 0);
          break;
        case IDC_FINISH:
        case IDOK:
        case IDCANCEL:
          EndDialog(dialog, setupState.runAfterFinish);
          break;
        default:
          break;
      }
      return TRUE;
    default:
      return FALSE;
  }
}

void LaunchProduct(void) {
  if (!setupState.runAfterFinish) return;
  const char* mainProgram = ConfigFileName(&setupConfig, 1);
  char commandLine[DIALOG_TEXT_SIZE];
  // Quoted, so that "C:\Program Files\..." cannot start C:\Program.exe; a path that does not
  // fit starts nothing rather than a cut name.
  if (!mainProgram || !LaunchCommandLine(commandLine, sizeof commandLine, setupState.installDir, mainProgram)) return;
  WinExec(commandLine, SW_SHOW);
}
