#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

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

// Why a path, of the status and error std::filesystem::status gave, is no
// file to read ("no such file", "it is a folder", "it is not a regular
// file", or the system's reason when it will not say what is there);
// nothing for a regular file.
std::optional<std::string> NoFileReason(const std::filesystem::file_status& status,
                                        const std::error_code& error);

// `text` with `mark` (the first time it stands there) replaced by `value`:
// for texts that quote a fact kept elsewhere.
std::string WithMark(std::string text, std::string_view mark, std::string_view value);

// The candidate a mistyped word was probably meant to be, if one is close:
// the same but for case, or a few letters apart.
std::optional<std::string> Nearest(std::string_view word,
                                   const std::vector<std::string>& candidates);
} // namespace configtool
