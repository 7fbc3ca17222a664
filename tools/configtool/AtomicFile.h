#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace configtool
{
// A folder that takes no new file: missing, not a folder, or not writable.
// The message names the folder, never the temporary file.
class FolderError : public std::system_error
{
public:
  using std::system_error::system_error;
};

// New bytes for a file, written beside it and flushed to disk, waiting to
// replace it: Commit renames them over the file, so that a reader sees the
// old file or the new one whole, never a part (on Windows by a replace that
// is atomic too). If Commit never happens, the temporary file goes and the
// target is as it was. The new file takes the owner, group and permissions
// of `like` (by default the target) where it exists, or is not made: the
// constructor throws std::system_error with the reason (on Windows the new
// file takes its folder's, as any file made there does). A link is
// followed: the file it leads to is replaced. Errors are std::system_error
// with the system's reason, and leave the target as it was.
class StagedFile
{
public:
  StagedFile(const std::filesystem::path& target, std::string_view bytes);
  // Without `follow_link`, a link at `target` is replaced itself.
  StagedFile(const std::filesystem::path& target, std::string_view bytes,
             const std::filesystem::path& like, bool follow_link = true);
  ~StagedFile();
  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;

  void Commit();

private:
  std::filesystem::path target_;
  std::filesystem::path temporary_;
  bool committed_ = false;
};

// Makes `copy` the very file `source` is, replacing it atomically: a second
// name for the same file where the file system allows it, so that owner and
// permissions come along, or else a copy of its bytes. A link at `copy` is
// replaced, not followed.
void KeepCopy(const std::filesystem::path& source, const std::filesystem::path& copy);

// Replaces `target` atomically with a new file holding `source`'s bytes,
// owner and permissions: the two stay apart, so that writing one later
// leaves the other as it is.
void CopyOver(const std::filesystem::path& source, const std::filesystem::path& target);

// A file's bytes, exactly as they are; throws std::system_error when it
// cannot be read.
std::string ReadWhole(const std::filesystem::path& path);

// Removes `target`; a file that is not there is no fault.
void RemoveFile(const std::filesystem::path& target);

// Removes the temporary files that replacing `target` (the file a link
// there leads to, with `follow_link`), or keeping a copy as `target`,
// leaves beside it when the process is killed half-way. Only where nobody
// else can be replacing it at the time: under its lock. Says why, for each
// that could not be removed.
std::vector<std::string> RemoveLeftovers(const std::filesystem::path& target, bool follow_link);

// On Windows a program that holds a file open without sharing it (an
// editor, a virus scanner) stops it from being replaced: waits a second at
// most for it to let go, then throws std::runtime_error saying so. Other
// systems have no such hold.
void WaitUntilReplaceable(const std::filesystem::path& target);
} // namespace configtool
