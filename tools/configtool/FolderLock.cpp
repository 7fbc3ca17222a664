#include "configtool/FolderLock.h"

#include <algorithm>
#include <ctime>
#include <map>
#include <thread>

#include <fmt/chrono.h>
#include <fmt/format.h>

#include "configtool/Terminal.h"
#include "configtool/Text.h"
#include "settings/SettingsLocation.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <signal.h>

#include <cerrno>
#include <cstring>
#endif

#include <cstdio>

namespace configtool
{
namespace
{
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

enum class Attempt
{
  Locked,
  Busy,   // another process holds it
  Failed, // the system will not lock this file
};

// A lock file's first line, as a holder wrote it; no more than a line.
constexpr std::size_t RecordLimit = 256;

#if defined(_WIN32)
std::string SystemMessage(DWORD error)
{
  return std::system_category().message(static_cast<int>(error));
}

std::string ProcessId()
{
  return std::to_string(GetCurrentProcessId());
}

std::string HostName()
{
  char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = sizeof name;
  return GetComputerNameA(name, &size) != 0 ? std::string(name, size) : "an unknown host";
}
#else
std::string ProcessId()
{
  return std::to_string(::getpid());
}

std::string HostName()
{
  char name[256] = {};
  return ::gethostname(name, sizeof name - 1) == 0 ? std::string(name) : "an unknown host";
}
#endif

// Who holds a lock, for whoever finds it held.
std::string HolderRecord()
{
  return fmt::format("process {} on {} since {:%Y-%m-%d %H:%M:%S} UTC\n", ProcessId(), HostName(),
                     fmt::gmtime(std::time(nullptr)));
}

// Whether the record names a process of this machine that has ended: one
// killed while it held the lock, whose record a holder since could not
// write over.
bool RecordIsStale(const std::string& line)
{
  long long process = 0;
  char host[256] = {};
  if (std::sscanf(line.c_str(), "process %lld on %255s", &process, host) != 2 || host != HostName())
  {
    return false;
  }
#if defined(_WIN32)
  HANDLE handle = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(process));
  if (handle == nullptr)
  {
    return GetLastError() == ERROR_INVALID_PARAMETER;
  }
  const bool ended = WaitForSingleObject(handle, 0) == WAIT_OBJECT_0;
  CloseHandle(handle);
  return ended;
#else
  return ::kill(static_cast<pid_t>(process), 0) != 0 && errno == ESRCH;
#endif
}

std::string HeldMessage(const std::string& record)
{
  const std::string line = Printable(record.substr(0, record.find('\n')));
  if (line.empty() || RecordIsStale(line))
  {
    // A reload holds it, or a deploy that could not write its name.
    return "another deploy or reload holds it";
  }
  return "another deploy holds it (" + line + ")";
}
} // namespace

// One lock file, open; locked once TryLock says so, until destroyed.
class FolderLocks::LockFile
{
public:
  explicit LockFile(const fs::path& path);
  ~LockFile();
  LockFile(const LockFile&) = delete;
  LockFile& operator=(const LockFile&) = delete;

  // Whether it could be opened; if not, whether it is missing (its folder
  // takes no file) rather than there and unusable.
  [[nodiscard]] bool Opened() const;
  [[nodiscard]] bool Missing() const;
  [[nodiscard]] std::string Fault() const { return fault_; }

  Attempt TryLock(LockKind kind);
  // Writes who holds it, or clears what a holder that died left; only where
  // this process may write the file.
  void Record(const std::string& text);
  [[nodiscard]] std::string Holder() const;

private:
  fs::path path_;
  bool writable_ = false;
  bool exclusive_ = false;
  std::string fault_;
#if defined(_WIN32)
  HANDLE handle_ = INVALID_HANDLE_VALUE;
  bool locked_ = false;
#else
  int fd_ = -1;
#endif
};

#if defined(_WIN32)
namespace
{
// The range locked lies far past any text the file holds, so that a locked
// file can still be read for its holder's name.
OVERLAPPED LockedRange()
{
  OVERLAPPED range{};
  range.OffsetHigh = 0x40000000;
  return range;
}
} // namespace

FolderLocks::LockFile::LockFile(const fs::path& path) : path_(path)
{
  constexpr DWORD Share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  handle_ = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, Share, nullptr, OPEN_ALWAYS,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
  writable_ = handle_ != INVALID_HANDLE_VALUE;
  if (!writable_ &&
      (GetLastError() == ERROR_ACCESS_DENIED || GetLastError() == ERROR_WRITE_PROTECT))
  {
    handle_ = CreateFileW(path.c_str(), GENERIC_READ, Share, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
  }
  if (handle_ == INVALID_HANDLE_VALUE)
  {
    fault_ = SystemMessage(GetLastError());
  }
}

FolderLocks::LockFile::~LockFile()
{
  if (handle_ == INVALID_HANDLE_VALUE)
  {
    return;
  }
  if (locked_)
  {
    if (exclusive_)
    {
      Record("");
    }
    OVERLAPPED range = LockedRange();
    UnlockFileEx(handle_, 0, 1, 0, &range);
  }
  CloseHandle(handle_);
}

bool FolderLocks::LockFile::Opened() const
{
  return handle_ != INVALID_HANDLE_VALUE;
}

bool FolderLocks::LockFile::Missing() const
{
  return !Opened() && GetFileAttributesW(path_.c_str()) == INVALID_FILE_ATTRIBUTES;
}

Attempt FolderLocks::LockFile::TryLock(LockKind kind)
{
  OVERLAPPED range = LockedRange();
  const DWORD flags =
      LOCKFILE_FAIL_IMMEDIATELY | (kind == LockKind::Exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0);
  if (LockFileEx(handle_, flags, 0, 1, 0, &range) != 0)
  {
    locked_ = true;
    exclusive_ = kind == LockKind::Exclusive;
    return Attempt::Locked;
  }
  const DWORD error = GetLastError();
  if (error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING)
  {
    return Attempt::Busy;
  }
  fault_ = SystemMessage(error);
  return Attempt::Failed;
}

void FolderLocks::LockFile::Record(const std::string& text)
{
  if (!writable_)
  {
    return;
  }
  LARGE_INTEGER start{};
  DWORD written = 0;
  if (SetFilePointerEx(handle_, start, nullptr, FILE_BEGIN) != 0 && SetEndOfFile(handle_) != 0 &&
      !text.empty())
  {
    WriteFile(handle_, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  }
}

std::string FolderLocks::LockFile::Holder() const
{
  std::string text(RecordLimit, '\0');
  OVERLAPPED start{};
  DWORD got = 0;
  if (ReadFile(handle_, text.data(), static_cast<DWORD>(text.size()), &got, &start) == 0)
  {
    got = 0;
  }
  text.resize(got);
  return text;
}
#else
FolderLocks::LockFile::LockFile(const fs::path& path) : path_(path)
{
  // Never through a link: a lock file made a link to another file would
  // have that file written over.
  fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd_ >= 0)
  {
    // Whoever deploys, the server's user or root, must be able to open it
    // and lock it, whatever the umask of the first to make it.
    ::fchmod(fd_, 0644);
  }
  else if (errno == EEXIST)
  {
    fd_ = ::open(path.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
  }
  writable_ = fd_ >= 0;
  if (!writable_ && (errno == EACCES || errno == EROFS))
  {
    // Locking needs no right to write.
    fd_ = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  }
  struct stat status = {};
  if (fd_ >= 0 && (::fstat(fd_, &status) != 0 || !S_ISREG(status.st_mode)))
  {
    ::close(fd_);
    fd_ = -1;
    errno = EINVAL;
  }
  if (fd_ < 0)
  {
    fault_ = errno == EINVAL ? "it is not a regular file" : std::strerror(errno);
  }
}

FolderLocks::LockFile::~LockFile()
{
  if (fd_ < 0)
  {
    return;
  }
  if (exclusive_)
  {
    Record("");
  }
  ::close(fd_); // and with it the lock
}

bool FolderLocks::LockFile::Opened() const
{
  return fd_ >= 0;
}

bool FolderLocks::LockFile::Missing() const
{
  struct stat status = {};
  return !Opened() && ::lstat(path_.c_str(), &status) != 0 && (errno == ENOENT || errno == ENOTDIR);
}

Attempt FolderLocks::LockFile::TryLock(LockKind kind)
{
  const int operation = (kind == LockKind::Exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB;
  int result = 0;
  do
  {
    result = ::flock(fd_, operation);
  } while (result != 0 && errno == EINTR);
  if (result == 0)
  {
    exclusive_ = kind == LockKind::Exclusive;
    return Attempt::Locked;
  }
  if (errno == EWOULDBLOCK)
  {
    return Attempt::Busy;
  }
  fault_ = std::strerror(errno);
  return Attempt::Failed;
}

void FolderLocks::LockFile::Record(const std::string& text)
{
  if (writable_ && ::ftruncate(fd_, 0) == 0 && !text.empty())
  {
    [[maybe_unused]] const ssize_t wrote = ::pwrite(fd_, text.data(), text.size(), 0);
  }
}

std::string FolderLocks::LockFile::Holder() const
{
  std::string text(RecordLimit, '\0');
  const ssize_t got = ::pread(fd_, text.data(), text.size(), 0);
  text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  return text;
}
#endif

fs::path LockFileOf(const fs::path& server_dir)
{
  const fs::path file = ConfigFilePathIn(server_dir);
  std::error_code error;
  fs::path real = fs::weakly_canonical(file, error);
  if (error)
  {
    real = fs::absolute(file, error).lexically_normal();
  }
  real += ".lock";
  return real;
}

FolderLocks::FolderLocks(const std::vector<std::optional<fs::path>>& server_dirs, LockKind kind,
                         Clock::time_point deadline, Progress* shown)
    : not_locked_(server_dirs.size()), held_by_another_(server_dirs.size(), false)
{
  // Ordered by path, and each once.
  std::map<fs::path, std::vector<std::size_t>> servers_of;
  for (std::size_t i = 0; i < server_dirs.size(); ++i)
  {
    if (server_dirs[i])
    {
      servers_of[LockFileOf(*server_dirs[i])].push_back(i);
    }
  }
  for (const auto& [path, servers] : servers_of)
  {
    auto file = std::make_unique<LockFile>(path);
    std::optional<std::string> why;
    bool held = false;
    if (!file->Opened())
    {
      // A reload reads what is in force: one that cannot lock goes on.
      if (!file->Missing() && kind == LockKind::Exclusive)
      {
        why = Unusable(path, *file);
      }
    }
    else
    {
      why = Take(*file, path, kind, deadline, shown, held);
      if (!why)
      {
        held_.push_back(std::move(file));
      }
    }
    for (const std::size_t i : servers)
    {
      held_by_another_[i] = held;
      not_locked_[i] = why;
    }
  }
}

FolderLocks::~FolderLocks() = default;

std::string FolderLocks::Unusable(const fs::path& path, const LockFile& file)
{
  return "cannot open the lock file " + Utf8(path) + ": " + file.Fault() +
         " (if another user made it, make it readable to all, or remove it while no deploy runs)";
}

std::optional<std::string> FolderLocks::LockFileProblem(const fs::path& server_dir)
{
  const fs::path path = LockFileOf(server_dir);
  std::error_code error;
  if (!fs::exists(fs::symlink_status(path, error)))
  {
    return std::nullopt; // made by the deploy, where the folder takes files
  }
  const LockFile file(path);
  if (file.Opened() || file.Missing())
  {
    return std::nullopt;
  }
  return Unusable(path, file);
}

std::optional<std::string> FolderLocks::Take(LockFile& file, const fs::path& path, LockKind kind,
                                             Clock::time_point deadline, Progress* shown,
                                             bool& held)
{
  for (bool waited = false;; waited = true)
  {
    const Attempt attempt = file.TryLock(kind);
    if (waited && shown != nullptr && attempt != Attempt::Busy)
    {
      shown->Clear();
    }
    switch (attempt)
    {
    case Attempt::Locked:
      // A shared holder clears what a killed deploy left: nobody holds it
      // for a change now.
      file.Record(kind == LockKind::Exclusive ? HolderRecord() : "");
      return std::nullopt;
    case Attempt::Failed:
      return "cannot lock " + Utf8(path) + ": " + file.Fault();
    case Attempt::Busy:
      break;
    }
    const Clock::time_point now = Clock::now();
    if (now >= deadline)
    {
      if (shown != nullptr)
      {
        shown->Clear();
      }
      held = true;
      return HeldMessage(file.Holder());
    }
    if (!waited && shown != nullptr)
    {
      shown->Await("waiting for " + Utf8(path.parent_path()) + ": " + HeldMessage(file.Holder()));
    }
    std::this_thread::sleep_for(std::min<Clock::duration>(25ms, deadline - now));
  }
}
} // namespace configtool
