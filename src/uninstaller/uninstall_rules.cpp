#include "uninstaller/uninstall_rules.h"

#include "actions/action_rules.h"

int32_t LastSeparator(const char* path, LeadByteTest isLeadByte) {
  int32_t last = -1;
  for (int32_t i = 0; path[i];) {
    if (path[i] == '\\') last = i;
    // A lead byte and its trail byte are one character; a lead byte at the very end stands
    // alone.
    i += (isLeadByte && isLeadByte((uint8_t)path[i]) && path[i + 1]) ? 2 : 1;
  }
  return last;
}

int32_t FolderOfPath(const char* path, LeadByteTest isLeadByte, char* out, uint32_t size) {
  int32_t cut = LastSeparator(path, isLeadByte);
  if (cut < 0 || (uint32_t)cut >= size) {
    if (size) out[0] = 0;
    return 0;
  }
  for (int32_t i = 0; i < cut; i++) out[i] = path[i];
  out[cut] = 0;
  return 1;
}

int32_t FormatDeleteBatch(const char* uninstallerPath, const char* folder, char* out, uint32_t size) {
  TextBuilder text;
  TextStart(&text, out, size);
  TextAdd(&text, ":Repeat\r\ndel \"");
  TextAdd(&text, uninstallerPath);
  TextAdd(&text, "\"\r\nif exist \"");
  TextAdd(&text, uninstallerPath);
  TextAdd(&text, "\" goto Repeat\r\nrmdir \"");
  TextAdd(&text, folder);
  TextAdd(&text, "\"\r\ndel \"" DELETE_BATCH_PATH "\"\r\n");
  if (!TextFinish(&text)) return 0;
  return (int32_t)text.length;
}

int32_t FormatUninstallQuestion(const char* productName, char* out, uint32_t size) {
  TextBuilder text;
  TextStart(&text, out, size);
  TextAdd(&text, "Welcome to the ");
  TextAdd(&text, productName);
  TextAdd(&text,
          " uninstall program.\n\nThis program will remove all of the files, components and shortcuts that were "
          "installed on your computer by the ");
  TextAdd(&text, productName);
  TextAdd(&text, " setup program.\n\nIf you do not want to remove the software, then click on Cancel.");
  return TextFinish(&text);
}

int32_t FormatUninstallDone(const char* productName, const char* version, char* out, uint32_t size) {
  TextBuilder text;
  TextStart(&text, out, size);
  TextAdd(&text, "The uninstall program has successfully removed the ");
  TextAdd(&text, productName);
  TextAdd(&text, " ");
  TextAdd(&text, version);
  TextAdd(&text,
          " software from your computer.\n\nIf you would like to use this software again, you will need to run the "
          "setup program and re-install it.\n\nPress the OK button.");
  return TextFinish(&text);
}
