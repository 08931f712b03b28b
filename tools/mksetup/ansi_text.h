// The stub keeps its texts in the Windows ANSI code page 1252; manifests are UTF-8. These
// convert between the two and refuse characters the code page cannot hold.
#pragma once
#include <optional>
#include <string>

// Null when the text is not valid UTF-8 or holds a character outside code page 1252.
std::optional<std::string> Utf8ToAnsi(const std::string& utf8);
std::string AnsiToUtf8(const std::string& ansi);
