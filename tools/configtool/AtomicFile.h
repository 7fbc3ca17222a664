#pragma once

#include <filesystem>
#include <string_view>

namespace configtool
{
// Replaces `target` with `bytes` so that a reader sees the old file or the
// new one whole, never a part: the bytes go to a temporary file in the same
// folder, are flushed to disk, and the temporary file is renamed over the
// target (on Windows by a replace that is atomic too). A target that exists
// keeps its owner and permissions, where the system lets us give them. A
// link is followed: the file it leads to is replaced. Throws
// std::system_error with the system's reason, leaving the target as it was.
void WriteAtomically(const std::filesystem::path& target, std::string_view bytes);

// Makes `copy` the very file `source` is, replacing it atomically: a second
// name for the same file where the file system allows it, so that owner and
// permissions come along, or else a copy of its bytes.
void KeepCopy(const std::filesystem::path& source, const std::filesystem::path& copy);

// Removes `target`; a file that is not there is no fault.
void RemoveFile(const std::filesystem::path& target);
} // namespace configtool
