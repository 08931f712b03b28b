// The wizard's rules, free of any window system: bounded text formatting, the check of the
// configuration's name formats, the destination-folder rules of the Welcome dialog, where an
// installed file lies, the texts of the dialogs and the launch command line, and the message
// pump's rule. The Win32 dialogs gather their inputs, call these and show the result.
#pragma once
#include <stdint.h>

// Sizes of the wizard's text buffers. Paths are 256 characters as in the run-time state; the
// texts are large enough for the longest configuration fields, and the formatter bounds them
// anyway.
const uint32_t PATH_SIZE = 256;
const uint32_t BROWSE_PATH_SIZE = 260;
const uint32_t DIALOG_TEXT_SIZE = 1024;
const uint32_t PROGRESS_TEXT_SIZE = 128;

// The destination's parent when the registry names no Program Files folder.
#define PROGRAM_FILES_FALLBACK "C:\\Program Files"

// Writes format into out (size bytes) with each "%s" replaced by the next of args and "%%" by
// "%". out is always terminated (when size > 0) and never written past size. 1 when the whole
// text fit and the format was well formed (only %s and %%, one argument per %s); 0 otherwise,
// and out then holds as much as fit.
int32_t FormatText(char* out, uint32_t size, const char* format, const char* const* args, int32_t count);

// format, taken from the configuration, filled with productName when it holds at most one "%s"
// and no other directive than "%%" and the result fits; otherwise productName itself (cut to
// size). A format from the configuration must never pull arguments that are not there.
void FormatProductText(char* out, uint32_t size, const char* format, const char* productName);

// The default destination from the Program Files folder read from the registry (empty when
// there was none): that folder, or "C:\Program Files" when it is empty or too long to hold the
// install folder, followed by "\" + folderName when folderName is not empty. Returns 1 when
// "C:\Program Files" was used, which the caller then creates.
int32_t DefaultInstallDir(const char* programFiles, const char* folderName, char* out, uint32_t size);
// Where the folder browser opens for the destination installDir: the directory holding the
// install folder when installDir ends with "\" + folderName (any letter case); a drive root
// keeps its backslash ("D:\N" opens on "D:\").
void BrowseStartDir(const char* installDir, const char* folderName, char* out, uint32_t size);
// The destination for a folder chosen in the browser: a last component equal to folderName (any
// letter case) is replaced, a trailing backslash (a drive root) is dropped, and "\" + folderName
// is appended. 1 with out filled; 0 when the result would not fit in size, and out is then
// left unchanged.
int32_t DestinationFromChoice(const char* chosen, const char* folderName, char* out, uint32_t size);

// The texts of the dialogs.
void WelcomeText(char* out, uint32_t size, const char* productName, const char* version);
void FinishText(char* out, uint32_t size, const char* productName, const char* version, const char* samplesNoun,
                const char* installDir);
// The message box after a file that could not be written.
void WriteFailedText(char* out, uint32_t size, const char* path);
// The command line that starts the installed main program: its path in double quotes, so that
// a destination with blanks cannot start another program. 1 when it fit, else 0 (and nothing
// must be started).
int32_t LaunchCommandLine(char* out, uint32_t size, const char* installDir, const char* mainProgram);

// The message pump of the install's tick hook. PumpDue counts a call and says whether the pump
// runs now (every 128th call). PumpMessage decides about one message taken from the queue:
// PUMP_DISPATCH to dispatch it, PUMP_STOP to end the pump at once without dispatching it (the
// third WM_PAINT in a row: a window that never validates would keep the pump busy). paints
// counts WM_PAINT messages in a row; a paint run followed by another message makes the very
// next call pump again.
enum { PUMP_DISPATCH = 0, PUMP_STOP = 1 };
int32_t PumpDue(int32_t* pumpCounter);
int32_t PumpMessage(int32_t isPaint, int32_t* paints, int32_t* pumpCounter);

// The window message that delivers stage (WM_USER + stage for 2 to 7), else 0.
uint32_t StageMessage(int32_t stage);
