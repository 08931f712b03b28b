// The wizard's pure rules: bounded formatting, the destination-folder cuts, file placement,
// dialog texts and the pump rule (see installer_rules.h).
#include "installer/installer_rules.h"

#include "actions/action_rules.h"

namespace {

char FoldCase(char c) { return (c >= 'A' && c <= 'Z') ? (char)(c - 'A' + 'a') : c; }

int32_t EqualNoCase(const char* a, const char* b) {
  while (*a && *b) {
    if (FoldCase(*a) != FoldCase(*b)) return 0;
    a++;
    b++;
  }
  return *a == *b;
}

uint32_t Length(const char* text) {
  uint32_t n = 0;
  while (text[n]) n++;
  return n;
}

// Bounded copy; 1 when all of text fit.
int32_t CopyText(char* out, uint32_t size, const char* text) {
  const char* args[1] = {text};
  return FormatText(out, size, "%s", args, 1);
}

// Index of the last backslash, -1 when there is none.
int32_t LastBackslash(const char* path) {
  int32_t last = -1;
  for (int32_t i = 0; path[i]; i++) {
    if (path[i] == '\\') last = i;
  }
  return last;
}

}  // namespace

int32_t FormatText(char* out, uint32_t size, const char* format, const char* const* args, int32_t count) {
  if (size == 0) return 0;
  uint32_t used = 0;
  int32_t next = 0;
  int32_t complete = 1;
  // Appends one character while room is left for the terminator.
  auto put = [&](char c) {
    if (used + 1 < size) {
      out[used++] = c;
    } else {
      complete = 0;
    }
  };
  for (const char* f = format; *f; f++) {
    if (*f != '%') {
      put(*f);
      continue;
    }
    if (f[1] == '%') {
      put('%');
      f++;
    } else if (f[1] == 's' && next < count) {
      const char* arg = args[next++];
      for (const char* a = arg ? arg : ""; *a; a++) put(*a);
      f++;
    } else {
      // Another directive, a lone '%' at the end or a missing argument: the text is shown as
      // far as it goes, without reading anything more.
      complete = 0;
      break;
    }
    if (!complete) break;
  }
  out[used] = 0;
  return complete;
}

void FormatProductText(char* out, uint32_t size, const char* format, const char* productName) {
  if (!FormatWithText(format, productName, out, size)) CopyText(out, size, productName);
}

int32_t DefaultInstallDir(const char* programFiles, const char* folderName, char* out, uint32_t size) {
  const char* args[2] = {programFiles, folderName};
  const char* format = folderName[0] ? "%s\\%s" : "%s";
  if (programFiles[0] && FormatText(out, size, format, args, 2)) return 0;
  args[0] = PROGRAM_FILES_FALLBACK;
  FormatText(out, size, format, args, 2);
  return 1;
}

void BrowseStartDir(const char* installDir, const char* folderName, char* out, uint32_t size) {
  if (size == 0) return;
  CopyText(out, size, installDir);
  const int32_t cut = LastBackslash(out);
  if (cut < 0 || !EqualNoCase(out + cut + 1, folderName)) return;
  // A drive root keeps its backslash: "D:\N" opens on "D:\", not on "D:".
  if (cut > 0 && out[cut - 1] == ':') {
    out[cut + 1] = 0;
  } else {
    out[cut] = 0;
  }
}

int32_t DestinationFromChoice(const char* chosen, const char* folderName, char* out, uint32_t size) {
  char path[BROWSE_PATH_SIZE];
  if (!chosen[0] || !CopyText(path, sizeof path, chosen)) return 0;
  const int32_t cut = LastBackslash(path);
  if (cut >= 0 && EqualNoCase(path + cut + 1, folderName)) path[cut] = 0;
  const uint32_t length = Length(path);
  if (length > 0 && path[length - 1] == '\\') path[length - 1] = 0;
  // Built aside first: a destination that does not fit leaves the old one in place.
  char result[BROWSE_PATH_SIZE + 80];
  const char* args[2] = {path, folderName};
  if (!FormatText(result, sizeof result, "%s\\%s", args, 2) || Length(result) >= size) return 0;
  CopyText(out, size, result);
  return 1;
}

void WelcomeText(char* out, uint32_t size, const char* productName, const char* version) {
  const char* args[3] = {productName, productName, version};
  FormatText(out, size,
             "Welcome to the %s setup program.\n\nThis setup will install %s V%s on your computer, in the following "
             "directory:",
             args, 3);
}

void FinishText(char* out, uint32_t size, const char* productName, const char* version, const char* samplesNoun,
                const char* installDir) {
  char samples[DIALOG_TEXT_SIZE / 2];
  samples[0] = 0;
  if (samplesNoun[0]) {
    const char* sampleArgs[2] = {samplesNoun, installDir};
    FormatText(samples, sizeof samples, "Some %s can be found in %s\\Samples\n\n", sampleArgs, 2);
  }
  const char* args[4] = {productName, version, productName, samples};
  FormatText(out, size,
             "Setup is complete and %s V%s is now installed on your computer!\n\n%s is accessible through the "
             "Start Menu, under Quillon.\n\n%sClick Finish.",
             args, 4);
}

void WriteFailedText(char* out, uint32_t size, const char* path) {
  const char* args[1] = {path};
  FormatText(out, size,
             path[0] ? "The file %s could not be written.\n\nThe files installed so far will now be removed."
                     : "A file of the product could not be written.\n\nThe files installed so far will now be removed.",
             args, path[0] ? 1 : 0);
}

int32_t LaunchCommandLine(char* out, uint32_t size, const char* installDir, const char* mainProgram) {
  const char* args[2] = {installDir, mainProgram};
  if (FormatText(out, size, "\"%s\\%s\"", args, 2)) return 1;
  if (size > 0) out[0] = 0;
  return 0;
}

int32_t PumpDue(int32_t* pumpCounter) {
  *pumpCounter = (int32_t)((uint32_t)*pumpCounter + 1);
  return (*pumpCounter & 127) == 0;
}

int32_t PumpMessage(int32_t isPaint, int32_t* paints, int32_t* pumpCounter) {
  if (isPaint) {
    if (++*paints >= 3) return PUMP_STOP;
    return PUMP_DISPATCH;
  }
  if (*paints != 0) *pumpCounter = 127;
  *paints = 0;
  return PUMP_DISPATCH;
}

uint32_t StageMessage(int32_t stage) {
  if (stage < 2 || stage > 7) return 0;
  return 1024u + (uint32_t)stage;
}
