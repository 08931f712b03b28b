// Manifest reading and checking. Every limit here protects the stub: fixed-width fields in the
// configuration record, a 512-byte file list, a 32-record directory, names the stub formats
// with wsprintfA, and file names that Windows and the install folder layout accept.
#include "manifest.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string_view>

#define TOML_EXCEPTIONS 1
#include <toml++/toml.h>

#include "ansi_text.h"
#include "backdrop_names.h"

namespace fs = std::filesystem;

namespace {

// MAIN, the eight pictures and the product files share the stub's 32 directory records.
constexpr size_t kMaxRecords = 32;
constexpr size_t kMaxProductFiles = kMaxRecords - 1 - 8;

std::string Where(const std::string& path, const toml::source_region& region) {
  std::ostringstream s;
  s << path;
  if (region.begin.line) s << ":" << region.begin.line;
  return s.str();
}

[[noreturn]] void Fail(const std::string& where, const std::string& message) {
  throw PackError(where + ": " + message);
}

class Reader {
 public:
  Reader(const toml::table& root, std::string path) : root_(root), path_(std::move(path)) {}

  const toml::table* Table(const char* key, bool required) {
    const toml::node* node = root_.get(key);
    if (!node) {
      if (required) Fail(path_, std::string("missing [") + key + "] table");
      return nullptr;
    }
    if (!node->is_table()) Fail(Where(path_, node->source()), std::string("'") + key + "' must be a table");
    return node->as_table();
  }

  // A text field that must fit a slot of `width` bytes (one is the terminator).
  // Texts for the stub are converted to its code page; paths (ansi = false) stay as written.
  std::string Text(const toml::table& t, const char* key, size_t width, bool required, const std::string& fallback = "",
                   bool ansi = true) {
    const toml::node* node = t.get(key);
    if (!node) {
      if (required) Fail(Where(path_, t.source()), std::string("missing '") + key + "'");
      return fallback;
    }
    return NodeText(*node, std::string("'") + key + "'", width, ansi);
  }

  // A text node checked like every text of the record: converted to the code page (unless it
  // is a path), within its width, no NUL or control characters.
  std::string NodeText(const toml::node& node, const std::string& label, size_t width, bool ansi = true) {
    if (!node.is_string()) Fail(Where(path_, node.source()), label + " must be a text");
    const std::optional<std::string> converted =
        ansi ? Utf8ToAnsi(node.as_string()->get()) : std::optional<std::string>(node.as_string()->get());
    if (!converted) {
      Fail(Where(path_, node.source()), label + " holds a character the setup's Windows code page (1252) cannot show");
    }
    std::string value = *converted;
    if (value.size() > width - 1) {
      Fail(Where(path_, node.source()), label + " is " + std::to_string(value.size()) +
                                            " characters; the setup holds at most " + std::to_string(width - 1));
    }
    if (value.find('\0') != std::string::npos) Fail(Where(path_, node.source()), label + " holds a NUL");
    for (unsigned char c : value) {
      if (c < 0x20) Fail(Where(path_, node.source()), label + " holds a control character");
    }
    return value;
  }

  const std::string& Path() const { return path_; }

 private:
  const toml::table& root_;
  std::string path_;
};

uint32_t ParseColour(const toml::node& node, const std::string& where) {
  // "#RRGGBB" as on the web; stored as a COLORREF 0x00BBGGRR.
  if (!node.is_string()) Fail(where, "a colour is a text \"#RRGGBB\"");
  const std::string s = node.as_string()->get();
  if (s.size() != 7 || s[0] != '#' ||
      !std::all_of(s.begin() + 1, s.end(), [](unsigned char c) { return std::isxdigit(c) != 0; })) {
    Fail(where, "colour \"" + s + "\" is not of the form \"#RRGGBB\"");
  }
  const uint32_t rgb = static_cast<uint32_t>(std::stoul(s.substr(1), nullptr, 16));
  return ((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16);
}

std::string ColourText(uint32_t colourref) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "#%02X%02X%02X", colourref & 0xFF, (colourref >> 8) & 0xFF, (colourref >> 16) & 0xFF);
  return buf;
}

bool HasNoCase(const std::string& text, const std::string& key) {
  auto lower = [](std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
  };
  return lower(text).find(lower(key)) != std::string::npos;
}

std::string FolderNameProblem(const std::string& name) {
  if (name.empty()) return "is empty";
  return FileNameProblem(name);
}

// A formatted shortcut name holds at most 31 characters.
void CheckShortcutName(const std::string& format, const std::string& product, const std::string& where) {
  std::string name;
  for (size_t i = 0; i < format.size(); i++) {
    if (format[i] == '%' && i + 1 < format.size()) {
      name += format[i + 1] == 's' ? product : "%";
      i++;
    } else {
      name += format[i];
    }
  }
  if (name.size() > 31) Fail(where, "shortcut name \"" + name + "\" is longer than 31 characters");
  const std::string problem = FileNameProblem(name);
  if (!problem.empty()) Fail(where, "shortcut name \"" + name + "\" " + problem);
}

// The TOML parser of the build machines (toml++ 3.3) reaches undefined behaviour when it tests
// some characters outside ASCII as white space. It is therefore only ever given ASCII: a
// character outside ASCII inside a "..." text becomes its \u escape (the parser turns it back),
// and anywhere else it is refused. Line numbers stay as they were.
std::string AsciiManifest(const std::string& text, const std::string& path) {
  enum { PLAIN, BASIC, LITERAL, MULTI_BASIC, MULTI_LITERAL, COMMENT } state = PLAIN;
  int line = 1;
  std::string out;
  out.reserve(text.size());
  auto starts = [&](size_t i, const char* token) { return text.compare(i, std::strlen(token), token) == 0; };
  auto where = [&] { return path + ":" + std::to_string(line); };
  for (size_t i = 0; i < text.size(); i++) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80) {
      if (state != BASIC && state != MULTI_BASIC) {
        Fail(where(), state == PLAIN || state == COMMENT
                          ? "a character outside ASCII outside a text"
                          : "a character outside ASCII in a '...' text: write it in \"...\"");
      }
      // One UTF-8 sequence, as its escape.
      size_t extra = (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : 0;
      if (!extra) Fail(where(), "not UTF-8");
      uint32_t cp = c & (0x3F >> extra);
      for (size_t k = 1; k <= extra; k++) {
        if (i + k >= text.size()) Fail(where(), "not UTF-8");
        const unsigned char next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0) != 0x80) Fail(where(), "not UTF-8");
        cp = (cp << 6) | (next & 0x3F);
      }
      char escape[16];
      std::snprintf(escape, sizeof escape, cp > 0xFFFF ? "\\U%08X" : "\\u%04X", static_cast<unsigned>(cp));
      out += escape;
      i += extra;
      continue;
    }
    out += static_cast<char>(c);
    if (c == '\n') {
      line++;
      if (state == COMMENT || state == BASIC || state == LITERAL) state = PLAIN;
      continue;
    }
    switch (state) {
      case PLAIN:
        if (c == '#') {
          state = COMMENT;
        } else if (starts(i, "\"\"\"")) {
          state = MULTI_BASIC;
          out += "\"\"";
          i += 2;
        } else if (starts(i, "'''")) {
          state = MULTI_LITERAL;
          out += "''";
          i += 2;
        } else if (c == '"') {
          state = BASIC;
        } else if (c == '\'') {
          state = LITERAL;
        }
        break;
      case BASIC:
      case MULTI_BASIC:
        if (c == '\\') {
          // The escaped character is copied as it is; one outside ASCII is refused above.
          if (i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80) {
            Fail(where(), "a backslash before a character outside ASCII");
          }
          if (i + 1 < text.size() && text[i + 1] != '\n') out += text[++i];
        } else if (state == BASIC && c == '"') {
          state = PLAIN;
        } else if (state == MULTI_BASIC && starts(i, "\"\"\"")) {
          state = PLAIN;
          out += "\"\"";
          i += 2;
        }
        break;
      case LITERAL:
        if (c == '\'') state = PLAIN;
        break;
      case MULTI_LITERAL:
        if (starts(i, "'''")) {
          state = PLAIN;
          out += "''";
          i += 2;
        }
        break;
      case COMMENT:
        break;
    }
  }
  return out;
}

}  // namespace

bool IsSafeNameFormat(const std::string& format) {
  int strings = 0;
  for (size_t i = 0; i < format.size(); i++) {
    if (format[i] != '%') continue;
    if (i + 1 >= format.size()) return false;
    const char next = format[++i];
    if (next == 's') {
      if (++strings > 1) return false;
    } else if (next != '%') {
      return false;
    }
  }
  return true;
}

std::string FileNameProblem(const std::string& name) {
  if (name.empty()) return "is empty";
  if (name == "." || name == "..") return "is not a file name";
  for (unsigned char c : name) {
    if (c < 0x20) return "holds a control character";
    if (std::strchr("<>:\"/\\|?*", c)) return std::string("holds '") + static_cast<char>(c) + "', which Windows does not allow";
  }
  if (name.back() == '.' || name.back() == ' ') return "ends in a dot or a space, which Windows drops";
  std::string stem = name.substr(0, name.find('.'));
  for (char& c : stem) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  while (!stem.empty() && stem.back() == ' ') stem.pop_back();
  static const char* const reserved[] = {"CON",  "PRN",  "AUX",  "NUL",  "COM1", "COM2", "COM3", "COM4",
                                         "COM5", "COM6", "COM7", "COM8", "COM9", "LPT1", "LPT2", "LPT3",
                                         "LPT4", "LPT5", "LPT6", "LPT7", "LPT8", "LPT9"};
  for (const char* r : reserved) {
    if (stem == r) return "is a device name Windows reserves";
  }
  return "";
}

Manifest ParseManifest(const std::string& text, const std::string& path) {
  toml::table root;
  try {
    root = toml::parse(AsciiManifest(text, path), path);
  } catch (const toml::parse_error& e) {
    Fail(Where(path, e.source()), std::string(e.description()));
  }
  Reader r(root, path);
  Manifest m;
  m.path = path;
  const fs::path base = fs::path(path).parent_path();
  auto resolve = [&](const std::string& p) { return (base / p).lexically_normal().string(); };

  for (const auto& [key, node] : root) {
    static const char* const known[] = {"product", "uninstaller", "files", "artwork", "stub"};
    // A named view: C++17 lambdas cannot capture a structured binding.
    const std::string_view name = key.str();
    if (std::none_of(std::begin(known), std::end(known), [&](const char* k) { return name == k; })) {
      Fail(Where(path, node.source()), "unknown key '" + std::string(name) + "'");
    }
  }

  const toml::table& p = *r.Table("product", true);
  for (const auto& [key, node] : p) {
    static const char* const known[] = {"name", "version", "install_folder", "start_menu_folder", "window_class",
                                        "samples_noun", "startup_args", "uninstall_shortcut", "progress_text",
                                        "background", "background2", "desktop_shortcut", "titles"};
    const std::string_view name = key.str();
    if (std::none_of(std::begin(known), std::end(known), [&](const char* k) { return name == k; })) {
      Fail(Where(path, node.source()), "unknown key 'product." + std::string(name) + "'");
    }
  }
  const std::string productWhere = Where(path, p.source());
  m.productName = r.Text(p, "name", sizeof(SetupConfig::productName), true);
  if (const std::string problem = FolderNameProblem(m.productName); !problem.empty()) {
    Fail(Where(path, p.get("name")->source()), "product name " + problem + " (it names shortcuts)");
  }
  m.version = r.Text(p, "version", sizeof(SetupConfig::version), true);
  m.installFolderName = r.Text(p, "install_folder", sizeof(SetupConfig::installFolderName), false, m.productName);
  if (const std::string problem = FolderNameProblem(m.installFolderName); !problem.empty()) {
    Fail(productWhere, "install_folder \"" + m.installFolderName + "\" " + problem);
  }
  m.startMenuFolder = r.Text(p, "start_menu_folder", sizeof(SetupConfig::startMenuFolder), false);
  if (!m.startMenuFolder.empty()) {
    if (const std::string problem = FileNameProblem(m.startMenuFolder); !problem.empty()) {
      Fail(Where(path, p.get("start_menu_folder")->source()), "start_menu_folder " + problem);
    }
  }
  m.productWindowClass = r.Text(p, "window_class", sizeof(SetupConfig::productWindowClass), true);
  if (m.productWindowClass.empty()) Fail(productWhere, "window_class is empty");
  m.samplesNoun = r.Text(p, "samples_noun", sizeof(SetupConfig::samplesNoun), false);
  if (const toml::node* n = p.get("startup_args")) {
    if (n->is_boolean()) {
      m.startupArgs = n->as_boolean()->get() ? "" : "|";
    } else {
      m.startupArgs = r.Text(p, "startup_args", sizeof(SetupConfig::startupArgs), false);
      if (!m.startupArgs.empty() && m.startupArgs[0] == '|') {
        Fail(Where(path, n->source()), "startup_args may not start with '|'; write startup_args = false for no startup shortcut");
      }
    }
  }
  m.uninstallShortcutName =
      r.Text(p, "uninstall_shortcut", sizeof(SetupConfig::uninstallShortcutName), false, m.uninstallShortcutName);
  m.progressTextFormat = r.Text(p, "progress_text", sizeof(SetupConfig::progressTextFormat), false, m.progressTextFormat);
  for (const char* key : {"uninstall_shortcut", "progress_text"}) {
    const std::string& format = std::string(key) == "uninstall_shortcut" ? m.uninstallShortcutName : m.progressTextFormat;
    if (!IsSafeNameFormat(format)) {
      const toml::node* n = p.get(key);
      Fail(n ? Where(path, n->source()) : productWhere,
           std::string(key) + " \"" + format + "\" may hold at most one %s and otherwise only %%");
    }
  }
  if (const toml::node* n = p.get("background")) m.backColour = m.backColour2 = ParseColour(*n, Where(path, n->source()));
  if (const toml::node* n = p.get("background2")) m.backColour2 = ParseColour(*n, Where(path, n->source()));
  if (const toml::node* n = p.get("desktop_shortcut")) {
    if (n->is_boolean()) {
      m.desktopShortcut = n->as_boolean()->get() ? 1 : 0;
    } else if (n->is_integer() && n->as_integer()->get() >= 0 && n->as_integer()->get() <= 0x7FFFFFFF) {
      m.desktopShortcut = static_cast<int32_t>(n->as_integer()->get());
    } else {
      Fail(Where(path, n->source()), "desktop_shortcut must be true or false");
    }
  }
  if (const toml::node* n = p.get("titles")) {
    const toml::array* a = n->as_array();
    if (!a || a->size() > 3) Fail(Where(path, n->source()), "titles must be a list of at most three texts");
    for (size_t i = 0; i < a->size(); i++) {
      m.titleTexts[i] = r.NodeText(*a->get(i), "a title", sizeof(SetupConfig::titleText1));
    }
  }

  const toml::table& u = *r.Table("uninstaller", true);
  m.uninstallerName = r.Text(u, "name", 256, true);
  const std::string uninstWhere = Where(path, u.get("name")->source());
  if (const std::string problem = FileNameProblem(m.uninstallerName); !problem.empty()) {
    Fail(uninstWhere, "uninstaller name \"" + m.uninstallerName + "\" " + problem);
  }
  if (!HasNoCase(m.uninstallerName, "uninst")) {
    Fail(uninstWhere, "uninstaller name \"" + m.uninstallerName +
                          "\" must contain \"uninst\": the installed copy picks its mode from its own path");
  }

  const toml::node* filesNode = root.get("files");
  if (!filesNode || !filesNode->is_array_of_tables() || filesNode->as_array()->empty()) {
    Fail(filesNode ? Where(path, filesNode->source()) : path, "[[files]] must list at least the product's main program");
  }
  for (const toml::node& entry : *filesNode->as_array()) {
    const toml::table& t = *entry.as_table();
    const std::string where = Where(path, t.source());
    for (const auto& [key, node] : t) {
      if (key.str() != "source" && key.str() != "name" && key.str() != "compression" && key.str() != "mask") {
        Fail(Where(path, node.source()), "unknown key 'files." + std::string(key.str()) + "'");
      }
    }
    ManifestFile f;
    f.line = static_cast<int>(t.source().begin.line);
    const std::string source = r.Text(t, "source", 4096, true, "", false);
    f.source = resolve(source);
    f.name = r.Text(t, "name", 256, false, fs::path(source).filename().string());
    if (const std::string problem = FileNameProblem(f.name); !problem.empty()) {
      Fail(where, "file name \"" + f.name + "\" " + problem);
    }
    const std::string compression = r.Text(t, "compression", 16, false, "auto");
    if (compression == "auto") {
      f.compression = Compression::Auto;
    } else if (compression == "store") {
      f.compression = Compression::Store;
    } else if (compression == "compress") {
      f.compression = Compression::Compress;
    } else {
      Fail(where, "compression \"" + compression + "\" is not one of auto, store, compress");
    }
    if (const toml::node* n = t.get("mask")) {
      if (!n->is_integer() || n->as_integer()->get() < 0 || n->as_integer()->get() > 255) {
        Fail(Where(path, n->source()), "mask must be a byte value 0 to 255");
      }
      f.mask = static_cast<uint8_t>(n->as_integer()->get());
      if (f.mask && f.compression == Compression::Compress) Fail(where, "a masked file is stored; it cannot be compressed");
      if (f.mask) f.compression = Compression::Store;
    }
    m.files.push_back(f);
  }
  if (m.files.size() > kMaxProductFiles) {
    Fail(Where(path, filesNode->source()), std::to_string(m.files.size()) + " files: the setup's directory holds at most " +
                                               std::to_string(kMaxProductFiles) + " besides the stub and the pictures");
  }
  size_t listBytes = m.uninstallerName.size() + 1;
  for (const ManifestFile& f : m.files) listBytes += f.name.size() + 1;
  if (listBytes > sizeof(SetupConfig::fileNames)) {
    Fail(Where(path, filesNode->source()),
         "the file names take " + std::to_string(listBytes) + " bytes; the setup's list holds 512");
  }
  // Two files of one folder with the same name would overwrite each other (Windows ignores case).
  auto folded = [](std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
  };
  for (size_t i = 0; i < m.files.size(); i++) {
    const size_t index = i + 1;
    for (size_t j = 0; j <= m.files.size(); j++) {
      const size_t other = j;  // index in the whole list, 0 = uninstaller
      if (other == index) continue;
      const bool sameFolder = (index >= 4) == (other >= 4);
      const std::string& otherName = other == 0 ? m.uninstallerName : m.files[other - 1].name;
      if (sameFolder && other < index && folded(otherName) == folded(m.files[i].name)) {
        Fail(path + ":" + std::to_string(m.files[i].line), "file name \"" + m.files[i].name + "\" is used twice in one folder");
      }
    }
  }

  // Names the stub formats into shortcut file names.
  CheckShortcutName(m.uninstallShortcutName, m.productName, productWhere);
  CheckShortcutName("%s Help", m.productName, productWhere);

  if (const toml::table* a = r.Table("artwork", false)) {
    for (const auto& [key, node] : *a) {
      const auto it = std::find(kBackdropNames.begin(), kBackdropNames.end(), std::string(key.str()));
      if (it == kBackdropNames.end()) {
        Fail(Where(path, node.source()), "unknown picture '" + std::string(key.str()) + "' (the pictures are BLUE, "
                                         "RERIVIRER, LOGO, QUILLON, TOPSHADOW, ORANGE, BLUEWHITE, WHITEBLUE)");
      }
      if (!node.is_string()) Fail(Where(path, node.source()), "a picture is given by its path");
      m.artwork[static_cast<size_t>(it - kBackdropNames.begin())] = resolve(node.as_string()->get());
    }
  }
  if (const toml::node* n = root.get("stub")) {
    if (!n->is_string()) Fail(Where(path, n->source()), "stub is a path");
    m.stub = resolve(n->as_string()->get());
  }
  return m;
}

Manifest ReadManifest(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw PackError(path + ": cannot read the manifest");
  std::ostringstream text;
  text << in.rdbuf();
  return ParseManifest(text.str(), path);
}

SetupConfig MakeConfig(const Manifest& m) {
  SetupConfig c;
  std::memset(&c, 0, sizeof c);
  auto put = [](char* slot, size_t width, const std::string& value) {
    // The record is zeroed above and at most width - 1 bytes are copied: the text stays terminated.
    std::memcpy(slot, value.data(), std::min(value.size(), width - 1));  // NOLINT(bugprone-not-null-terminated-result)
  };
  size_t at = 0;
  auto addName = [&](const std::string& name) {
    std::memcpy(c.fileNames + at, name.data(), name.size());
    at += name.size() + 1;
  };
  addName(m.uninstallerName);
  for (const ManifestFile& f : m.files) addName(f.name);
  put(c.productName, sizeof c.productName, m.productName);
  put(c.version, sizeof c.version, m.version);
  put(c.titleText1, sizeof c.titleText1, m.titleTexts[0]);
  put(c.titleText2, sizeof c.titleText2, m.titleTexts[1]);
  put(c.titleText3, sizeof c.titleText3, m.titleTexts[2]);
  put(c.installFolderName, sizeof c.installFolderName, m.installFolderName);
  put(c.startMenuFolder, sizeof c.startMenuFolder, m.startMenuFolder);
  put(c.productWindowClass, sizeof c.productWindowClass, m.productWindowClass);
  put(c.samplesNoun, sizeof c.samplesNoun, m.samplesNoun);
  put(c.startupArgs, sizeof c.startupArgs, m.startupArgs);
  put(c.uninstallShortcutName, sizeof c.uninstallShortcutName, m.uninstallShortcutName);
  put(c.progressTextFormat, sizeof c.progressTextFormat, m.progressTextFormat);
  c.fileCount = static_cast<int32_t>(m.files.size() + 1);
  c.backColour = static_cast<int32_t>(m.backColour);
  c.backColour2 = static_cast<int32_t>(m.backColour2);
  c.desktopShortcut = m.desktopShortcut;
  return c;
}

namespace {

std::string Quoted(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c == 0x7F) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04X", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string Field(const char* slot, size_t width) {
  return AnsiToUtf8(std::string(slot, strnlen(slot, width)));
}

}  // namespace

std::string ManifestFromConfig(const SetupConfig& c, const std::vector<ManifestFile>& files,
                               const std::array<std::string, 8>& artwork, const std::string& stub) {
  std::ostringstream s;
  s << "# Made by mksetup extract; `mksetup build` on this file rebuilds the setup.\n";
  if (!stub.empty()) s << "stub = " << Quoted(stub) << "\n";
  s << "\n[product]\n";
  s << "name = " << Quoted(Field(c.productName, sizeof c.productName)) << "\n";
  s << "version = " << Quoted(Field(c.version, sizeof c.version)) << "\n";
  s << "install_folder = " << Quoted(Field(c.installFolderName, sizeof c.installFolderName)) << "\n";
  s << "start_menu_folder = " << Quoted(Field(c.startMenuFolder, sizeof c.startMenuFolder)) << "\n";
  s << "window_class = " << Quoted(Field(c.productWindowClass, sizeof c.productWindowClass)) << "\n";
  s << "samples_noun = " << Quoted(Field(c.samplesNoun, sizeof c.samplesNoun)) << "\n";
  const std::string args = Field(c.startupArgs, sizeof c.startupArgs);
  if (!args.empty() && args[0] == '|') {
    s << "startup_args = false\n";
  } else {
    s << "startup_args = " << Quoted(args) << "\n";
  }
  s << "uninstall_shortcut = " << Quoted(Field(c.uninstallShortcutName, sizeof c.uninstallShortcutName)) << "\n";
  s << "progress_text = " << Quoted(Field(c.progressTextFormat, sizeof c.progressTextFormat)) << "\n";
  s << "background = " << Quoted(ColourText(static_cast<uint32_t>(c.backColour))) << "\n";
  s << "background2 = " << Quoted(ColourText(static_cast<uint32_t>(c.backColour2))) << "\n";
  if (c.desktopShortcut == 0 || c.desktopShortcut == 1) {
    s << "desktop_shortcut = " << (c.desktopShortcut ? "true" : "false") << "\n";
  } else {
    s << "desktop_shortcut = " << c.desktopShortcut << "\n";
  }
  s << "titles = [" << Quoted(Field(c.titleText1, 64)) << ", " << Quoted(Field(c.titleText2, 64)) << ", "
    << Quoted(Field(c.titleText3, 64)) << "]\n";
  const char* name0 = ConfigFileName(&c, 0);
  s << "\n[uninstaller]\nname = " << Quoted(AnsiToUtf8(name0 ? name0 : "")) << "\n";
  for (const ManifestFile& f : files) {
    s << "\n[[files]]\nname = " << Quoted(AnsiToUtf8(f.name)) << "\nsource = " << Quoted(f.source) << "\n";
    if (f.mask) {
      s << "mask = " << static_cast<int>(f.mask) << "\n";
    } else {
      s << "compression = " << Quoted(f.compression == Compression::Store ? "store" : "compress") << "\n";
    }
  }
  bool anyArtwork = false;
  for (const std::string& a : artwork) anyArtwork |= !a.empty();
  if (anyArtwork) {
    s << "\n[artwork]\n";
    for (size_t i = 0; i < artwork.size(); i++) {
      if (!artwork[i].empty()) s << kBackdropNames[i] << " = " << Quoted(artwork[i]) << "\n";
    }
  }
  return s.str();
}
