#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace configtool
{
// A path as UTF-8 text, whatever the system's own kind of path (wide on
// Windows), for messages and reports.
std::string Utf8(const std::filesystem::path& path);

// A path from UTF-8 text, as JSON files and reports hold them.
std::filesystem::path PathFromUtf8(const std::string& text);

// A text for a terminal: control characters, which a server's answer or a
// file could carry to move the cursor or change colours, written as \xNN.
std::string Printable(std::string_view text);

// A text in double quotes, escaped as JSON writes it.
std::string Quote(std::string_view text);
} // namespace configtool
