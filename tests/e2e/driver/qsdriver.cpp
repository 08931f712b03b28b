// Drives the windows of another program running in the same wine prefix, for the end-to-end
// tests: every argument is one step (wait for a dialog, read or set a control, click, pick a
// folder in the folder browser, ...). One output line per step; exit code = failed steps.
#include <windows.h>
#include <commctrl.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char kUsage[] =
    "usage: qsdriver STEP...\n"
    "Drives the windows of a program running in the same wine prefix. One line per step\n"
    "(\"ok\", \"FAIL\" or \"skip\"); the exit code is the number of failed steps (at most 100).\n"
    "After a failed wait, waitclass or gone the remaining steps are skipped and count as\n"
    "failed.\n"
    "\n"
    "Finding windows (the found window becomes the current one):\n"
    "  wait:CAPTION[:MS]          a visible dialog (class #32770) with exactly this caption\n"
    "  waitclass:CLASS:TITLE[:MS] a visible top-level window of this class; TITLE * = any title\n"
    "  gone[:MS]                  the current window is destroyed or hidden; then its owner (the\n"
    "                             dialog under a message box) is the current window; use it\n"
    "                             between two dialogs with the same caption\n"
    "  nowindow:NAME:MS           for MS ms no visible top-level window whose class or caption\n"
    "                             is NAME appears (NAME * = any window of another process)\n"
    "Controls of the current window (ID: decimal, 0x hex, or IDOK IDCANCEL IDYES IDNO\n"
    "IDABORT IDRETRY IDIGNORE; a message box's text is MSGTEXT = 65535):\n"
    "  text:ID                    print the control's text\n"
    "  expect:ID:TEXT             the text equals TEXT\n"
    "  expectsub:ID:TEXT          the text contains TEXT\n"
    "  set:ID:TEXT                set the text (WM_SETTEXT)\n"
    "  click:ID                   press a button (posted BM_CLICK); fails on a disabled one\n"
    "  command:ID                 post WM_COMMAND(ID, BN_CLICKED) to the window itself\n"
    "  check:ID / uncheck:ID      tick or clear a check box by clicking it when needed\n"
    "  expectcheck:ID:0|1|2       the check state\n"
    "  expectenabled:ID:0|1       the control is enabled (1) or disabled (0)\n"
    "  expectexists:ID:0|1        the window has (1) or has no (0) control ID\n"
    "  pos:ID                     print a progress bar's position and range\n"
    "  expectpos:ID:N             the progress bar stands at N\n"
    "  key:VK[:ID]                post key down + up to the focused control (or control ID);\n"
    "                             VK: RETURN ENTER ESCAPE ESC SPACE TAB, a letter, or a number\n"
    "  browse:SEG/SEG/...         in the folder browser's tree (the current window), expand and\n"
    "                             select the item path, e.g. browse:My Computer/ (C:)/Program Files\n"
    "                             (the Desktop root may be left out; then click:IDOK)\n"
    "Other steps:\n"
    "  sleep:MS                   pause\n"
    "  timeout:MS                 default for the waits that follow (start: 20000)\n"
    "  within:MS                  the expect steps that follow retry for up to MS (start: 0)\n"
    "  windows                    list the visible top-level windows (for writing scenarios)\n"
    "  dump                       list the controls of the current window\n"
    "  echo:TEXT                  print TEXT\n"
    "\n"
    "Texts are shown and compared with line feed, carriage return and tab written as \\n, \\r\n"
    "and \\t, other control characters as \\xHH; backslashes are kept as they are.\n";

const DWORD kPollMs = 50;
const UINT kSendTimeoutMs = 5000;

HWND g_current = nullptr;
// The owners of the current window, nearest first, noted while they still exist: "gone" moves
// to them one by one, also when a window and its owner close together.
std::vector<HWND> g_owners;
DWORD g_waitTimeout = 20000;
DWORD g_within = 0;

// --- small helpers ---------------------------------------------------------------------------

std::string Shown(const std::string& s) {
  std::string out;
  for (unsigned char c : s) {
    if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 32 || c == 127) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

// Decimal, or hexadecimal after 0x (a leading 0 does not mean octal).
bool ParseNumber(const std::string& s, long* value) {
  if (s.empty()) return false;
  bool hex = s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X');
  char* end = nullptr;
  long v = std::strtol(s.c_str(), &end, hex ? 16 : 10);
  if (end == nullptr || *end != '\0') return false;
  *value = v;
  return true;
}

bool AllDigits(const std::string& s) {
  if (s.empty()) return false;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

bool ParseId(const std::string& s, int* id) {
  static const struct {
    const char* name;
    int id;
  } kNames[] = {{"IDOK", IDOK},       {"IDCANCEL", IDCANCEL}, {"IDABORT", IDABORT},
                {"IDRETRY", IDRETRY}, {"IDIGNORE", IDIGNORE}, {"IDYES", IDYES},
                {"IDNO", IDNO},       {"MSGTEXT", 0xFFFF}};
  for (const auto& n : kNames) {
    if (s == n.name) {
      *id = n.id;
      return true;
    }
  }
  long v = 0;
  if (!ParseNumber(s, &v) || v < 0 || v > 0xFFFF) return false;
  *id = static_cast<int>(v);
  return true;
}

// Splits "a:b:rest" into at most `parts` fields; the last field keeps its colons.
std::vector<std::string> Split(const std::string& s, size_t parts) {
  std::vector<std::string> out;
  size_t pos = 0;
  while (out.size() + 1 < parts) {
    size_t colon = s.find(':', pos);
    if (colon == std::string::npos) break;
    out.push_back(s.substr(pos, colon - pos));
    pos = colon + 1;
  }
  out.push_back(s.substr(pos));
  return out;
}

// "NAME[:MS]": a trailing all-digit field is a timeout, otherwise part of the name.
void NameAndTimeout(const std::string& s, std::string* name, DWORD* ms) {
  *ms = g_waitTimeout;
  size_t colon = s.rfind(':');
  if (colon != std::string::npos && AllDigits(s.substr(colon + 1))) {
    *name = s.substr(0, colon);
    *ms = static_cast<DWORD>(std::strtoul(s.c_str() + colon + 1, nullptr, 10));
  } else {
    *name = s;
  }
}

std::string ClassOf(HWND w) {
  char buf[256] = "";
  GetClassNameA(w, buf, sizeof buf);
  return buf;
}

// The caption of a top-level window (the stored text: no message to the other process).
std::string TitleOf(HWND w) {
  char buf[1024] = "";
  GetWindowTextA(w, buf, sizeof buf);
  return buf;
}

bool SendTimeout(HWND w, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  DWORD_PTR r = 0;
  if (!SendMessageTimeoutA(w, msg, wp, lp, SMTO_ABORTIFHUNG, kSendTimeoutMs, &r)) return false;
  if (result) *result = static_cast<LRESULT>(r);
  return true;
}

// The text of a control of another process: WM_GETTEXT is marshalled, GetWindowText is not.
bool ControlText(HWND control, std::string* text) {
  std::vector<char> buf(65536, '\0');
  LRESULT n = 0;
  if (!SendTimeout(control, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()), &n)) {
    return false;
  }
  buf.back() = '\0';
  *text = buf.data();
  return true;
}

struct WindowQuery {
  std::string cls;    // empty: any class
  std::string title;  // used when matchTitle
  bool matchTitle;
  bool classOrTitle;  // nowindow: either the class or the title equals `title`
  bool anyOther;      // nowindow:*: any window of another process
  HWND found;
};

BOOL CALLBACK FindTopLevel(HWND w, LPARAM lp) {
  WindowQuery* query = reinterpret_cast<WindowQuery*>(lp);
  if (!IsWindowVisible(w)) return TRUE;
  bool match;
  if (query->anyOther) {
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    match = pid != GetCurrentProcessId();
  } else if (query->classOrTitle) {
    match = ClassOf(w) == query->title || TitleOf(w) == query->title;
  } else {
    match = (query->cls.empty() || ClassOf(w) == query->cls) &&
            (!query->matchTitle || TitleOf(w) == query->title);
  }
  if (match) {
    query->found = w;  // EnumWindows goes from the top of the Z order: keep the first
    return FALSE;
  }
  return TRUE;
}

HWND FindVisible(WindowQuery query) {
  query.found = nullptr;
  EnumWindows(FindTopLevel, reinterpret_cast<LPARAM>(&query));
  return query.found;
}

HWND PollFor(const WindowQuery& query, DWORD ms) {
  DWORD start = GetTickCount();
  for (;;) {
    HWND w = FindVisible(query);
    if (w) return w;
    if (GetTickCount() - start >= ms) return nullptr;
    Sleep(kPollMs);
  }
}

// --- step results ----------------------------------------------------------------------------

struct Result {
  bool ok;
  bool fatal;  // a failed wait: the rest of the scenario cannot run
  std::string detail;
  bool printed;  // the step wrote its own lines
};

Result Ok(const std::string& detail = std::string()) { return {true, false, detail, false}; }
Result Fail(const std::string& detail) { return {false, false, detail, false}; }
Result Fatal(const std::string& detail) { return {false, true, detail, false}; }
Result Printed() { return {true, false, std::string(), true}; }

std::string Hex(const void* p) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%p", p);
  return buf;
}

// Repeats a check until it passes or the `within` window has run out.
template <typename Check>
Result Retry(Check check) {
  DWORD start = GetTickCount();
  for (;;) {
    Result r = check();
    if (r.ok || GetTickCount() - start >= g_within) return r;
    Sleep(kPollMs);
  }
}

bool NeedCurrent(Result* r) {
  if (g_current && IsWindow(g_current)) return true;
  *r = Fail("no current window (wait for one first)");
  return false;
}

bool GetControl(const std::string& idText, HWND* control, Result* r) {
  if (!NeedCurrent(r)) return false;
  int id = 0;
  if (!ParseId(idText, &id)) {
    *r = Fail("bad control id '" + idText + "'");
    return false;
  }
  *control = GetDlgItem(g_current, id);
  if (!*control) {
    *r = Fail("no control " + idText + " in the current window");
    return false;
  }
  return true;
}

bool ParseFlag(const std::string& s, long maxValue, long* v, Result* r) {
  if (!ParseNumber(s, v) || *v < 0 || *v > maxValue) {
    *r = Fail("bad value '" + s + "'");
    return false;
  }
  return true;
}

void SetCurrent(HWND w) {
  g_current = w;
  g_owners.clear();
  for (HWND o = GetWindow(w, GW_OWNER); o && g_owners.size() < 8; o = GetWindow(o, GW_OWNER)) {
    g_owners.push_back(o);
  }
}

// --- the steps -------------------------------------------------------------------------------

Result StepWait(const std::string& arg) {
  std::string caption;
  DWORD ms;
  NameAndTimeout(arg, &caption, &ms);
  WindowQuery query{"#32770", caption, true, false, false, nullptr};
  HWND w = PollFor(query, ms);
  if (!w) return Fatal("no dialog \"" + caption + "\" within " + std::to_string(ms) + " ms");
  SetCurrent(w);
  return Ok("hwnd " + Hex(w));
}

Result StepWaitClass(const std::string& arg) {
  std::vector<std::string> f = Split(arg, 2);
  if (f.size() < 2) return Fatal("expected waitclass:CLASS:TITLE[:MS]");
  std::string title;
  DWORD ms;
  NameAndTimeout(f[1], &title, &ms);
  WindowQuery query{f[0], title, title != "*", false, false, nullptr};
  HWND w = PollFor(query, ms);
  if (!w) {
    return Fatal("no window of class " + f[0] + " titled \"" + title + "\" within " +
                 std::to_string(ms) + " ms");
  }
  SetCurrent(w);
  return Ok("hwnd " + Hex(w));
}

Result StepGone(const std::string& arg) {
  DWORD ms = g_waitTimeout;
  if (!arg.empty()) {
    long v = 0;
    if (!ParseNumber(arg, &v) || v < 0) return Fatal("bad timeout '" + arg + "'");
    ms = static_cast<DWORD>(v);
  }
  if (!g_current) return Fatal("no current window");
  DWORD start = GetTickCount();
  while (IsWindow(g_current) && IsWindowVisible(g_current)) {
    if (GetTickCount() - start >= ms) {
      return Fatal("window still open after " + std::to_string(ms) + " ms");
    }
    Sleep(kPollMs);
  }
  // The owner becomes current even when it has gone as well, so that a following "gone" for
  // it passes at once instead of finding no window.
  HWND owner = nullptr;
  if (!g_owners.empty()) {
    owner = g_owners.front();
    g_owners.erase(g_owners.begin());
  }
  g_current = owner;
  if (!owner) return Ok();
  if (!IsWindow(owner) || !IsWindowVisible(owner)) return Ok("its owner has gone too");
  return Ok("current again: \"" + Shown(TitleOf(owner)) + "\"");
}

Result StepNoWindow(const std::string& arg) {
  std::vector<std::string> f = Split(arg, 2);
  long ms = 0;
  if (f.size() < 2 || !ParseNumber(f[1], &ms) || ms < 0) return Fail("expected nowindow:NAME:MS");
  WindowQuery query{"", f[0], false, f[0] != "*", f[0] == "*", nullptr};
  DWORD start = GetTickCount();
  for (;;) {
    HWND w = FindVisible(query);
    if (w) {
      return Fail("window appeared after " + std::to_string(GetTickCount() - start) + " ms: " +
                  ClassOf(w) + " \"" + TitleOf(w) + "\"");
    }
    if (GetTickCount() - start >= static_cast<DWORD>(ms)) return Ok();
    Sleep(kPollMs);
  }
}

Result StepText(const std::string& arg) {
  Result r;
  HWND c;
  if (!GetControl(arg, &c, &r)) return r;
  std::string text;
  if (!ControlText(c, &text)) return Fail("WM_GETTEXT timed out");
  return Ok("\"" + Shown(text) + "\"");
}

Result StepExpect(const std::string& arg, bool substring) {
  std::vector<std::string> f = Split(arg, 2);
  if (f.size() < 2) return Fail("expected ID:TEXT");
  return Retry([&]() {
    Result r;
    HWND c;
    if (!GetControl(f[0], &c, &r)) return r;
    std::string text;
    if (!ControlText(c, &text)) return Fail("WM_GETTEXT timed out");
    std::string shown = Shown(text);
    bool match = substring ? shown.find(f[1]) != std::string::npos : shown == f[1];
    if (match) return Ok("\"" + shown + "\"");
    return Fail("got \"" + shown + "\", want " + (substring ? "it to contain \"" : "\"") + f[1] +
                "\"");
  });
}

Result StepSet(const std::string& arg) {
  std::vector<std::string> f = Split(arg, 2);
  if (f.size() < 2) return Fail("expected set:ID:TEXT");
  Result r;
  HWND c;
  if (!GetControl(f[0], &c, &r)) return r;
  if (!SendTimeout(c, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(f[1].c_str()), nullptr)) {
    return Fail("WM_SETTEXT timed out");
  }
  return Ok();
}

Result StepClick(const std::string& arg) {
  Result r;
  HWND c;
  if (!GetControl(arg, &c, &r)) return r;
  if (!IsWindowEnabled(c)) return Fail("control is disabled");
  // Posted: a sent click would block while the handler runs a modal loop (a message box).
  if (!PostMessageA(c, BM_CLICK, 0, 0)) return Fail("PostMessage failed");
  return Ok();
}

Result StepCommand(const std::string& arg) {
  Result r;
  if (!NeedCurrent(&r)) return r;
  int id = 0;
  if (!ParseId(arg, &id)) return Fail("bad control id '" + arg + "'");
  HWND c = GetDlgItem(g_current, id);
  if (!PostMessageA(g_current, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(c))) {
    return Fail("PostMessage failed");
  }
  return Ok();
}

Result StepCheck(const std::string& arg, LRESULT want) {
  Result r;
  HWND c;
  if (!GetControl(arg, &c, &r)) return r;
  LRESULT state = 0;
  if (!SendTimeout(c, BM_GETCHECK, 0, 0, &state)) return Fail("BM_GETCHECK timed out");
  if (state == want) return Ok("already " + std::to_string(want));
  if (!IsWindowEnabled(c)) return Fail("control is disabled");
  // A click (not BM_SETCHECK) so that the owner gets BN_CLICKED as from a user.
  if (!PostMessageA(c, BM_CLICK, 0, 0)) return Fail("PostMessage failed");
  DWORD start = GetTickCount();
  for (;;) {
    Sleep(kPollMs);
    if (!SendTimeout(c, BM_GETCHECK, 0, 0, &state)) return Fail("BM_GETCHECK timed out");
    if (state == want) return Ok();
    if (GetTickCount() - start >= 3000) {
      return Fail("state is " + std::to_string(state) + " after the click");
    }
  }
}

Result StepExpectCheck(const std::string& arg) {
  std::vector<std::string> f = Split(arg, 2);
  if (f.size() < 2) return Fail("expected expectcheck:ID:0|1|2");
  Result r;
  long want = 0;
  if (!ParseFlag(f[1], 2, &want, &r)) return r;
  return Retry([&]() {
    Result e;
    HWND c;
    if (!GetControl(f[0], &c, &e)) return e;
    LRESULT state = 0;
    if (!SendTimeout(c, BM_GETCHECK, 0, 0, &state)) return Fail("BM_GETCHECK timed out");
    if (state == want) return Ok();
    return Fail("state is " + std::to_string(state) + ", want " + f[1]);
  });
}

Result StepExpectEnabled(const std::string& arg) {
  std::vector<std::string> f = Split(arg, 2);
  if (f.size() < 2) return Fail("expected expectenabled:ID:0|1");
  Result r;
  long want = 0;
  if (!ParseFlag(f[1], 1, &want, &r)) return r;
  return Retry([&]() {
    Result e;
    HWND c;
    if (!GetControl(f[0], &c, &e)) return e;
    long enabled = IsWindowEnabled(c) ? 1 : 0;
    if (enabled == want) return Ok();
    return Fail(enabled ? "control is enabled" : "control is disabled");
  });
}

Result StepExpectExists(const std::string& arg) {
  std::vector<std::string> f = Split(arg, 2);
  if (f.size() < 2) return Fail("expected expectexists:ID:0|1");
  Result r;
  long want = 0;
  int id = 0;
  if (!ParseFlag(f[1], 1, &want, &r)) return r;
  if (!ParseId(f[0], &id)) return Fail("bad control id '" + f[0] + "'");
  return Retry([&]() {
    Result e;
    if (!NeedCurrent(&e)) return e;
    long exists = GetDlgItem(g_current, id) ? 1 : 0;
    if (exists == want) return Ok();
    return Fail(exists ? "control exists" : "no such control");
  });
}

Result StepPos(const std::string& arg) {
  Result r;
  HWND c;
  if (!GetControl(arg, &c, &r)) return r;
  LRESULT pos = 0, low = 0, high = 0;
  if (!SendTimeout(c, PBM_GETPOS, 0, 0, &pos) || !SendTimeout(c, PBM_GETRANGE, TRUE, 0, &low) ||
      !SendTimeout(c, PBM_GETRANGE, FALSE, 0, &high)) {
    return Fail("progress bar messages timed out");
  }
  return Ok(std::to_string(pos) + " (range " + std::to_string(low) + "-" + std::to_string(high) +
            ")");
}

Result StepExpectPos(const std::string& arg) {
  std::vector<std::string> f = Split(arg, 2);
  long want = 0;
  if (f.size() < 2 || !ParseNumber(f[1], &want)) return Fail("expected expectpos:ID:N");
  return Retry([&]() {
    Result e;
    HWND c;
    if (!GetControl(f[0], &c, &e)) return e;
    LRESULT pos = 0;
    if (!SendTimeout(c, PBM_GETPOS, 0, 0, &pos)) return Fail("PBM_GETPOS timed out");
    if (pos == want) return Ok();
    return Fail("position is " + std::to_string(pos) + ", want " + f[1]);
  });
}

bool ParseKey(const std::string& s, UINT* vk) {
  static const struct {
    const char* name;
    UINT vk;
  } kKeys[] = {{"RETURN", VK_RETURN}, {"ENTER", VK_RETURN}, {"ESCAPE", VK_ESCAPE},
               {"ESC", VK_ESCAPE},    {"SPACE", VK_SPACE},  {"TAB", VK_TAB}};
  for (const auto& k : kKeys) {
    if (s == k.name) {
      *vk = k.vk;
      return true;
    }
  }
  if (s.size() == 1 && ((s[0] >= 'A' && s[0] <= 'Z') || (s[0] >= '0' && s[0] <= '9'))) {
    *vk = static_cast<UINT>(s[0]);
    return true;
  }
  long v = 0;
  if (!ParseNumber(s, &v) || v <= 0 || v > 255) return false;
  *vk = static_cast<UINT>(v);
  return true;
}

// Posted key messages go through the target's modal loop and so through IsDialogMessage,
// which turns Enter into the default button and Esc into IDCANCEL, as for a typed key.
Result StepKey(const std::string& arg) {
  std::vector<std::string> f = Split(arg, 2);
  UINT vk = 0;
  if (!ParseKey(f[0], &vk)) return Fail("bad key '" + f[0] + "'");
  Result r;
  HWND target = nullptr;
  if (f.size() > 1) {
    if (!GetControl(f[1], &target, &r)) return r;
  } else {
    if (!NeedCurrent(&r)) return r;
    DWORD thread = GetWindowThreadProcessId(g_current, nullptr);
    GUITHREADINFO info;
    std::memset(&info, 0, sizeof info);
    info.cbSize = sizeof info;
    if (GetGUIThreadInfo(thread, &info) && info.hwndFocus &&
        (info.hwndFocus == g_current || IsChild(g_current, info.hwndFocus))) {
      target = info.hwndFocus;
    } else {
      target = g_current;
    }
  }
  UINT scan = MapVirtualKeyA(vk, MAPVK_VK_TO_VSC);
  LPARAM down = 1 | (static_cast<LPARAM>(scan) << 16);
  LPARAM up = down | (static_cast<LPARAM>(3) << 30);
  if (!PostMessageA(target, WM_KEYDOWN, vk, down) || !PostMessageA(target, WM_KEYUP, vk, up)) {
    return Fail("PostMessage failed");
  }
  char buf[64];
  std::snprintf(buf, sizeof buf, "to %s id %d", ClassOf(target).c_str(), GetDlgCtrlID(target));
  return Ok(buf);
}

// --- folder browser tree ---------------------------------------------------------------------

BOOL CALLBACK FindTreeChild(HWND w, LPARAM lp) {
  if (ClassOf(w) == WC_TREEVIEWA) {
    *reinterpret_cast<HWND*>(lp) = w;
    return FALSE;
  }
  return TRUE;
}

// Tree items are read through a TVITEMA and a text buffer placed in the tree's own process:
// tree messages carry pointers that the system does not copy between processes.
class RemoteTree {
 public:
  explicit RemoteTree(HWND tree) : tree_(tree) {
    DWORD pid = 0;
    GetWindowThreadProcessId(tree, &pid);
    process_ = OpenProcess(
        PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE | PROCESS_QUERY_INFORMATION,
        FALSE, pid);
    if (process_) {
      remote_ = static_cast<char*>(
          VirtualAllocEx(process_, nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    }
  }
  ~RemoteTree() {
    if (remote_) VirtualFreeEx(process_, remote_, 0, MEM_RELEASE);
    if (process_) CloseHandle(process_);
  }
  RemoteTree(const RemoteTree&) = delete;
  RemoteTree& operator=(const RemoteTree&) = delete;

  bool Ready() const { return remote_ != nullptr; }

  HTREEITEM Next(HTREEITEM item, UINT how) {
    LRESULT r = 0;
    if (!SendTimeout(tree_, TVM_GETNEXTITEM, how, reinterpret_cast<LPARAM>(item), &r)) {
      return nullptr;
    }
    return reinterpret_cast<HTREEITEM>(r);
  }

  bool Text(HTREEITEM item, std::string* text) {
    const size_t kTextOffset = 512, kTextSize = 1024;
    TVITEMA tv;
    std::memset(&tv, 0, sizeof tv);
    tv.mask = TVIF_TEXT | TVIF_HANDLE;
    tv.hItem = item;
    tv.pszText = remote_ + kTextOffset;
    tv.cchTextMax = static_cast<int>(kTextSize);
    char zero = '\0';
    if (!WriteProcessMemory(process_, remote_, &tv, sizeof tv, nullptr) ||
        !WriteProcessMemory(process_, remote_ + kTextOffset, &zero, 1, nullptr)) {
      return false;
    }
    LRESULT ok = 0;
    if (!SendTimeout(tree_, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(remote_), &ok) || !ok) {
      return false;
    }
    // The control may answer with a pointer to its own copy of the text.
    if (!ReadProcessMemory(process_, remote_, &tv, sizeof tv, nullptr) || !tv.pszText) {
      return false;
    }
    char buf[1024];
    SIZE_T got = 0;
    if (!ReadProcessMemory(process_, tv.pszText, buf, sizeof buf - 1, &got) && got == 0) {
      return false;
    }
    buf[got < sizeof buf ? got : sizeof buf - 1] = '\0';
    *text = buf;
    return true;
  }

  void Expand(HTREEITEM item) {
    SendTimeout(tree_, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item), nullptr);
  }

 private:
  HWND tree_;
  HANDLE process_ = nullptr;
  char* remote_ = nullptr;
};

std::string Trimmed(const std::string& s) {
  size_t a = s.find_first_not_of(' ');
  if (a == std::string::npos) return std::string();
  size_t b = s.find_last_not_of(' ');
  return s.substr(a, b - a + 1);
}

bool SameName(const std::string& item, const std::string& want) {
  if (item == want) return true;
  std::string a = Trimmed(item), b = Trimmed(want);
  return a.size() == b.size() && lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

// Looks for `name` among the children of `parent` (the top level when parent is null); children
// of an item appear after TVM_EXPAND, possibly a little later, so the lookup polls for up to
// `ms` (at most 5 s).
HTREEITEM FindItem(RemoteTree& tree, HTREEITEM parent, const std::string& name, DWORD ms,
                   std::string* seen) {
  if (ms > 5000) ms = 5000;
  DWORD start = GetTickCount();
  for (;;) {
    seen->clear();
    HTREEITEM it = parent ? tree.Next(parent, TVGN_CHILD) : tree.Next(nullptr, TVGN_ROOT);
    for (; it; it = tree.Next(it, TVGN_NEXT)) {
      std::string text;
      if (!tree.Text(it, &text)) continue;
      if (SameName(text, name)) return it;
      *seen += (seen->empty() ? "\"" : ", \"") + text + "\"";
    }
    if (GetTickCount() - start >= ms) return nullptr;
    Sleep(kPollMs);
  }
}

Result StepBrowse(const std::string& arg) {
  Result r;
  if (!NeedCurrent(&r)) return r;
  HWND treeWindow = GetDlgItem(g_current, 14145);
  if (!treeWindow || ClassOf(treeWindow) != WC_TREEVIEWA) {
    treeWindow = nullptr;
    EnumChildWindows(g_current, FindTreeChild, reinterpret_cast<LPARAM>(&treeWindow));
  }
  if (!treeWindow) return Fail("the current window has no tree view");
  RemoteTree tree(treeWindow);
  if (!tree.Ready()) return Fail("cannot reach the tree's process memory");

  std::vector<std::string> segments;
  size_t pos = 0;
  for (;;) {
    size_t slash = arg.find('/', pos);
    segments.push_back(arg.substr(pos, slash == std::string::npos ? std::string::npos : slash - pos));
    if (slash == std::string::npos) break;
    pos = slash + 1;
  }

  HTREEITEM item = nullptr;
  std::string seen;
  for (size_t i = 0; i < segments.size(); ++i) {
    if (item) tree.Expand(item);
    // The top level is complete from the start; below it items may still be arriving.
    HTREEITEM found = FindItem(tree, item, segments[i], item ? g_waitTimeout : 0, &seen);
    if (!found && i == 0) {
      // The path may start below the root item (the Desktop).
      HTREEITEM root = tree.Next(nullptr, TVGN_ROOT);
      if (root) {
        tree.Expand(root);
        std::string seenBelow;
        found = FindItem(tree, root, segments[i], g_waitTimeout, &seenBelow);
        seen += "; below the first: " + seenBelow;
      }
    }
    if (!found) return Fail("no item \"" + segments[i] + "\"; items there: " + seen);
    item = found;
  }
  SendTimeout(treeWindow, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(item), nullptr);
  SendTimeout(treeWindow, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item), nullptr);
  if (tree.Next(nullptr, TVGN_CARET) != item) return Fail("the item did not become selected");
  return Ok("selected");
}

// --- listing ---------------------------------------------------------------------------------

BOOL CALLBACK ListTopLevel(HWND w, LPARAM) {
  if (!IsWindowVisible(w)) return TRUE;
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  RECT rc;
  GetWindowRect(w, &rc);
  std::printf("     %s class=%s title=\"%s\" pid=%lu rect=%ld,%ld,%ld,%ld%s\n", Hex(w).c_str(),
              ClassOf(w).c_str(), Shown(TitleOf(w)).c_str(), static_cast<unsigned long>(pid),
              rc.left, rc.top, rc.right, rc.bottom,
              pid == GetCurrentProcessId() ? " (driver)" : "");
  return TRUE;
}

BOOL CALLBACK ListChild(HWND w, LPARAM parent) {
  if (GetParent(w) != reinterpret_cast<HWND>(parent)) return TRUE;  // direct children only
  std::string cls = ClassOf(w);
  LONG style = GetWindowLongA(w, GWL_STYLE);
  std::string text;
  // Picture statics answer WM_GETTEXT with binary data: leave them out.
  bool picture = lstrcmpiA(cls.c_str(), "Static") == 0 &&
                 ((style & SS_TYPEMASK) == SS_BITMAP || (style & SS_TYPEMASK) == SS_ICON);
  if (!picture) ControlText(w, &text);
  std::string extra;
  LONG type = style & BS_TYPEMASK;
  if (lstrcmpiA(cls.c_str(), "Button") == 0 &&
      (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_3STATE ||
       type == BS_AUTO3STATE || type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON)) {
    LRESULT state = 0;
    SendTimeout(w, BM_GETCHECK, 0, 0, &state);
    extra = " check=" + std::to_string(state);
  } else if (lstrcmpiA(cls.c_str(), PROGRESS_CLASSA) == 0) {
    LRESULT pos = 0;
    SendTimeout(w, PBM_GETPOS, 0, 0, &pos);
    extra = " pos=" + std::to_string(pos);
  }
  std::printf("     id=%d class=%s text=\"%s\"%s%s%s\n", GetDlgCtrlID(w), cls.c_str(),
              picture ? "(picture)" : Shown(text).c_str(), IsWindowEnabled(w) ? "" : " disabled",
              IsWindowVisible(w) ? "" : " hidden", extra.c_str());
  return TRUE;
}

Result StepWindows() {
  std::printf("ok   windows\n");
  EnumWindows(ListTopLevel, 0);
  return Printed();
}

Result StepDump() {
  Result r;
  if (!NeedCurrent(&r)) return r;
  std::printf("ok   dump %s class=%s title=\"%s\"\n", Hex(g_current).c_str(),
              ClassOf(g_current).c_str(), Shown(TitleOf(g_current)).c_str());
  EnumChildWindows(g_current, ListChild, reinterpret_cast<LPARAM>(g_current));
  return Printed();
}

// --- main ------------------------------------------------------------------------------------

Result RunStep(const std::string& step) {
  std::vector<std::string> f = Split(step, 2);
  const std::string& name = f[0];
  const std::string arg = f.size() > 1 ? f[1] : std::string();
  bool hasArg = f.size() > 1;
  long v = 0;

  if (name == "wait" && hasArg) return StepWait(arg);
  if (name == "waitclass" && hasArg) return StepWaitClass(arg);
  if (name == "gone") return StepGone(arg);
  if (name == "nowindow" && hasArg) return StepNoWindow(arg);
  if (name == "text" && hasArg) return StepText(arg);
  if (name == "expect" && hasArg) return StepExpect(arg, false);
  if (name == "expectsub" && hasArg) return StepExpect(arg, true);
  if (name == "set" && hasArg) return StepSet(arg);
  if (name == "click" && hasArg) return StepClick(arg);
  if (name == "command" && hasArg) return StepCommand(arg);
  if (name == "check" && hasArg) return StepCheck(arg, BST_CHECKED);
  if (name == "uncheck" && hasArg) return StepCheck(arg, BST_UNCHECKED);
  if (name == "expectcheck" && hasArg) return StepExpectCheck(arg);
  if (name == "expectenabled" && hasArg) return StepExpectEnabled(arg);
  if (name == "expectexists" && hasArg) return StepExpectExists(arg);
  if (name == "pos" && hasArg) return StepPos(arg);
  if (name == "expectpos" && hasArg) return StepExpectPos(arg);
  if (name == "key" && hasArg) return StepKey(arg);
  if (name == "browse" && hasArg) return StepBrowse(arg);
  if (name == "windows" && !hasArg) return StepWindows();
  if (name == "dump" && !hasArg) return StepDump();
  if (name == "echo") return Ok(arg);
  if ((name == "sleep" || name == "timeout" || name == "within") && ParseNumber(arg, &v) &&
      v >= 0) {
    if (name == "sleep") Sleep(static_cast<DWORD>(v));
    if (name == "timeout") g_waitTimeout = static_cast<DWORD>(v);
    if (name == "within") g_within = static_cast<DWORD>(v);
    return Ok();
  }
  return Fail("unknown step or missing argument (run without arguments for the list)");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "help") == 0) {
    std::fputs(kUsage, argc < 2 ? stderr : stdout);
    return argc < 2 ? 1 : 0;
  }
  _setmode(_fileno(stdout), _O_BINARY);  // lines end in \n only, for the scripts that read them
  int failed = 0;
  bool skipping = false;
  for (int i = 1; i < argc; ++i) {
    std::string step = argv[i];
    if (skipping) {
      std::printf("skip %s\n", Shown(step).c_str());
      ++failed;
      continue;
    }
    DWORD start = GetTickCount();
    Result r = RunStep(step);
    DWORD took = GetTickCount() - start;
    if (!r.printed) {
      std::printf("%s %s%s%s (%lu ms)\n", r.ok ? "ok  " : "FAIL", Shown(step).c_str(),
                  r.detail.empty() ? "" : ": ", r.detail.c_str(), static_cast<unsigned long>(took));
    }
    std::fflush(stdout);
    if (!r.ok) {
      ++failed;
      if (r.fatal) skipping = true;
    }
  }
  std::fflush(stdout);
  return failed > 100 ? 100 : failed;  // above 100: the driver did not finish
}
