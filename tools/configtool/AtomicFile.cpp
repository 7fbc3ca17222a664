#include "configtool/AtomicFile.h"

#include "configtool/Text.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <thread>

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace configtool
{
namespace
{
namespace fs = std::filesystem;

// Every temporary file's name beside a target begins so, and ends ".tmp".
std::string TemporaryPrefix(const fs::path& target)
{
  return Utf8(target.filename()) + ".ashgrove-";
}

// A temporary file's name beside the target, unlikely to be anyone else's.
fs::path TemporaryBeside(const fs::path& target)
{
  static std::atomic<unsigned> counter{0};
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
#if defined(_WIN32)
  const auto process = GetCurrentProcessId();
#else
  const auto process = getpid();
#endif
  return target.parent_path() /
         PathFromUtf8(TemporaryPrefix(target) + std::to_string(process) + "-" +
                      std::to_string(stamp) + "-" + std::to_string(counter++) + ".tmp");
}

#if defined(_WIN32)
[[noreturn]] void Fail(const std::string& what, const fs::path& path)
{
  throw std::system_error(static_cast<int>(GetLastError()), std::system_category(),
                          what + " " + Utf8(path));
}

void WriteFlushed(const fs::path& path, std::string_view bytes)
{
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
  {
    throw FolderError(static_cast<int>(GetLastError()), std::system_category(),
                      "cannot create a file in " + Utf8(path.parent_path()));
  }
  DWORD written = 0;
  const bool ok =
      WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) != 0 &&
      written == bytes.size() && FlushFileBuffers(file) != 0;
  const DWORD error = GetLastError();
  CloseHandle(file);
  if (!ok)
  {
    DeleteFileW(path.c_str());
    throw FolderError(static_cast<int>(error), std::system_category(),
                      "cannot write a file in " + Utf8(path.parent_path()));
  }
}

// A reader that has the target open at that moment makes the replace fail
// for a while: it is tried again, for up to a second.
void RenameOver(const fs::path& from, const fs::path& to)
{
  for (int attempt = 0;; ++attempt)
  {
    if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) !=
        0)
    {
      return;
    }
    const DWORD error = GetLastError();
    if (attempt < 20 && (error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED))
    {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      continue;
    }
    DeleteFileW(from.c_str());
    SetLastError(error);
    Fail("cannot replace", to);
  }
}

void KeepPermissions(const fs::path& /*from*/, const fs::path& /*to*/) {}

// A second name for the file; false where the file system has no links.
bool Link(const fs::path& from, const fs::path& to)
{
  return CreateHardLinkW(to.c_str(), from.c_str(), nullptr) != 0;
}
#else
[[noreturn]] void Fail(const std::string& what, const fs::path& path)
{
  throw std::system_error(errno, std::generic_category(), what + " " + Utf8(path));
}

// A file being written that failed is closed and removed; the failure's
// reason survives both. The message names the folder (a full disk, say),
// not the temporary file.
[[noreturn]] void Abandon(int file, const fs::path& path)
{
  const int error = errno;
  ::close(file);
  ::unlink(path.c_str());
  throw FolderError(error, std::generic_category(),
                    "cannot write a file in " + Utf8(path.parent_path()));
}

void WriteFlushed(const fs::path& path, std::string_view bytes)
{
  const int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (file < 0)
  {
    throw FolderError(errno, std::generic_category(),
                      "cannot create a file in " + Utf8(path.parent_path()));
  }
  std::size_t written = 0;
  while (written < bytes.size())
  {
    const ssize_t wrote = ::write(file, bytes.data() + written, bytes.size() - written);
    if (wrote < 0 && errno == EINTR)
    {
      continue;
    }
    if (wrote <= 0)
    {
      Abandon(file, path);
    }
    written += static_cast<std::size_t>(wrote);
  }
  if (::fsync(file) != 0)
  {
    Abandon(file, path);
  }
  ::close(file);
}

void RenameOver(const fs::path& from, const fs::path& to)
{
  if (::rename(from.c_str(), to.c_str()) != 0)
  {
    const int error = errno;
    ::unlink(from.c_str());
    errno = error;
    Fail("cannot replace", to);
  }
  // The rename itself reaches the disk with its folder.
  const int folder = ::open(to.parent_path().empty() ? "." : to.parent_path().c_str(),
                            O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0)
  {
    ::fsync(folder);
    ::close(folder);
  }
}

// The new file gets the old one's owner, group and permissions, so that the
// server, which may run as another user, reads it as it read the old one.
// Only root may give a file away; anyone else who cannot is told so, rather
// than leaving a file the server may not be able to read.
void KeepPermissions(const fs::path& from, const fs::path& to)
{
  struct stat wanted = {};
  if (::stat(from.c_str(), &wanted) != 0)
  {
    return; // nothing to take after: the new file is the system's default
  }
  struct stat made = {};
  const bool owned = ::chown(to.c_str(), wanted.st_uid, wanted.st_gid) == 0 ||
                     (::stat(to.c_str(), &made) == 0 && made.st_uid == wanted.st_uid &&
                      made.st_gid == wanted.st_gid);
  if (!owned)
  {
    errno = EPERM;
    Fail("cannot give the new file the owner " + std::to_string(wanted.st_uid) + " and group " +
             std::to_string(wanted.st_gid) + " of",
         from);
  }
  if (::chmod(to.c_str(), wanted.st_mode & 07777) != 0)
  {
    Fail("cannot give the new file the permissions of", from);
  }
}

// A second name for the file; false where the file system has no links.
bool Link(const fs::path& from, const fs::path& to)
{
  return ::link(from.c_str(), to.c_str()) == 0;
}
#endif

// The file a link leads to: replacing it keeps the link.
fs::path Resolved(const fs::path& target)
{
  std::error_code error;
  if (fs::is_symlink(fs::symlink_status(target, error)))
  {
    return fs::canonical(target);
  }
  return target;
}

} // namespace

std::string ReadWhole(const fs::path& path)
{
  std::ifstream file(path, std::ios::binary);
  if (!file)
  {
    throw std::system_error(errno, std::generic_category(), "cannot read " + Utf8(path));
  }
  std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  if (file.bad())
  {
    throw std::system_error(EIO, std::generic_category(), "cannot read " + Utf8(path));
  }
  return bytes;
}

StagedFile::StagedFile(const fs::path& target, std::string_view bytes, const fs::path& like,
                       bool follow_link)
    : target_(follow_link ? Resolved(target) : target), temporary_(TemporaryBeside(target_))
{
  WriteFlushed(temporary_, bytes);
  try
  {
    KeepPermissions(Resolved(like), temporary_);
  }
  catch (...)
  {
    std::error_code ignored;
    fs::remove(temporary_, ignored);
    throw;
  }
}

StagedFile::StagedFile(const fs::path& target, std::string_view bytes)
    : StagedFile(target, bytes, target)
{
}

StagedFile::~StagedFile()
{
  if (!committed_)
  {
    std::error_code ignored;
    fs::remove(temporary_, ignored);
  }
}

void StagedFile::Commit()
{
  committed_ = true;
  RenameOver(temporary_, target_);
}

void KeepCopy(const fs::path& source, const fs::path& copy)
{
  // The copy's own name is replaced, never a file a link there leads to.
  const fs::path from = Resolved(source);
  std::error_code error;
  if (!fs::is_symlink(fs::symlink_status(copy, error)) && fs::equivalent(from, copy, error))
  {
    return; // the very file already
  }
  const fs::path temporary = TemporaryBeside(copy);
  if (Link(from, temporary))
  {
    RenameOver(temporary, copy);
    return;
  }
  StagedFile(copy, ReadWhole(from), from, false).Commit();
}

void CopyOver(const fs::path& source, const fs::path& target)
{
  StagedFile(target, ReadWhole(Resolved(source)), source).Commit();
}

void RemoveFile(const fs::path& target)
{
  std::error_code error;
  fs::remove(target, error);
  if (error)
  {
    throw std::system_error(error, "cannot remove " + Utf8(target));
  }
}

std::vector<std::string> RemoveLeftovers(const fs::path& target, bool follow_link)
{
  std::error_code error;
  const fs::path real = follow_link ? fs::weakly_canonical(target, error) : target;
  const fs::path& named = error ? target : real;
  const fs::path folder = named.parent_path();
  const std::string prefix = TemporaryPrefix(named);
  std::vector<std::string> faults;
  error.clear();
  for (fs::directory_iterator entry(folder.empty() ? fs::path(".") : folder, error), end;
       !error && entry != end; entry.increment(error))
  {
    const std::string name = Utf8(entry->path().filename());
    if (name.rfind(prefix, 0) == 0 && name.size() > prefix.size() + 4 &&
        name.compare(name.size() - 4, 4, ".tmp") == 0)
    {
      try
      {
        RemoveFile(entry->path());
      }
      catch (const std::system_error& failure)
      {
        faults.emplace_back(failure.what());
      }
    }
  }
  return faults;
}

void WaitUntilReplaceable([[maybe_unused]] const fs::path& target)
{
#if defined(_WIN32)
  const fs::path file = Resolved(target);
  for (int attempt = 0;; ++attempt)
  {
    // Asking for what a replace needs, and sharing everything: only a
    // program that shares nothing stands in the way.
    HANDLE handle =
        CreateFileW(file.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE)
    {
      CloseHandle(handle);
      return;
    }
    if (GetLastError() != ERROR_SHARING_VIOLATION)
    {
      return; // not there, or a reason the replace itself will give
    }
    if (attempt == 20)
    {
      throw std::runtime_error("another program holds " + Utf8(file) +
                               " open: the deploy can be tried again once it is closed");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
#endif
}
} // namespace configtool
