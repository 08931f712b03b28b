// The stub's process entry point. The stub links no C runtime: this takes the place of its
// start-up code, gathers WinMain's four arguments and ends the process with its result.
#include "platform/platform.h"

namespace {

// The command line without the program's name (quoted or not) and the blanks after it.
LPSTR SkipProgramName(LPSTR line) {
  if (*line == '"') {
    line++;
    while (*line && *line != '"') line++;
    if (*line == '"') line++;
  } else {
    while (*line && *line != ' ' && *line != '\t') line++;
  }
  while (*line == ' ' || *line == '\t') line++;
  return line;
}

// The linker's table of static constructors: -1, the constructors, 0. The stub's code is meant
// to need none, but one that slips in must still run before WinMain, as the C runtime would.
extern "C" void (*__CTOR_LIST__[])(void);

void RunStaticConstructors(void) {
  unsigned count = 0;
  while (__CTOR_LIST__[count + 1]) count++;
  for (unsigned i = count; i > 0; i--) __CTOR_LIST__[i]();
}

}  // namespace

// The name the linker takes as a GUI program's entry point. The system enters it with a stack
// aligned only to 4 bytes on i686; the attribute realigns it for the code compiled below.
extern "C" __attribute__((force_align_arg_pointer, noreturn, used)) void WinMainCRTStartup(void) {
  RunStaticConstructors();
  STARTUPINFOA startup;
  startup.cb = sizeof startup;
  GetStartupInfoA(&startup);
  const int showCommand = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : SW_SHOWDEFAULT;
  LPSTR commandLine = SkipProgramName(GetCommandLineA());
  ExitProcess((UINT)WinMain(GetModuleHandleA(nullptr), nullptr, commandLine, showCommand));
}
