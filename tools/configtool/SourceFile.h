#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>

#include "configtool/SettingsCheck.h"

namespace configtool
{
// A file that changed while it was read: its size, modification time or
// identity differ before and after. What was read may be a mix of two
// versions that nobody wrote.
class ChangedWhileRead : public std::runtime_error
{
public:
  using std::runtime_error::runtime_error;
};

// A file to deploy, read once: the bytes exactly as they were read, and
// the check of what the server makes of them.
struct SourceFile
{
  std::string Bytes;
  FileCheck Check;
};

// Reads and checks a file to deploy. A file written a moment ago is first
// left to settle, so that a write during the read cannot hide in the same
// tick of the file system's clock. Throws ChangedWhileRead when the file
// changed while it was read; Check is otherwise what CheckSettingsFile
// would say of the same bytes.
SourceFile ReadSourceFile(const std::filesystem::path& path);

// The same for a file given on standard input, read to its end.
SourceFile ReadStandardInput();

// The bytes as the server's own file functions give them: on Windows, a
// file read in text mode has each CR LF as LF and ends at a Ctrl-Z; on
// other systems, the bytes as they are.
std::string AsServerReads(std::string bytes);
} // namespace configtool
