// Run-time state shared by the installer's and the uninstaller's modules: one process-wide
// record of plain fields. The worker thread and the window thread share the three fields marked
// volatile; each is a 32-bit value that one side writes whole and the other reads whole.
#pragma once
#include <stdint.h>

#include "platform/platform.h"

struct SetupState {
  HINSTANCE instance;
  HWND mainWindow;
  char installDir[256];
  char browseDir[256];
  int32_t lowColourMode;  // 100 on displays of 8 bits per pixel or fewer, else 0
  int32_t revealIndex;
  int32_t pendingStage;
  FileHandle archiveHandle;
  HWND progressBar;
  int32_t progressPos;
  int32_t pumpCounter;
  int32_t progressTicks;
  HANDLE workerThread;
  int32_t workerResult;
  volatile int32_t cancelRequested;
  volatile int32_t installStopped;
  volatile int32_t filesDone;
  int32_t runAfterFinish;
  int32_t uninstallerShortcut;
};

extern SetupState setupState;
