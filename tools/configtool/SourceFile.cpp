#include "configtool/SourceFile.h"

#include <algorithm>
#include <chrono>
#include <optional>
#include <thread>

#include "configtool/Text.h"
#include "settings/ConfigFile.h"
#include "settings/LoadErrors.h"

#include <cstdio>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace configtool
{
namespace
{
namespace fs = std::filesystem;
using namespace std::chrono_literals;

// File systems stamp a write with a clock that moves in ticks (a few
// milliseconds on Linux, about 16 on Windows): a file written this recently
// could be written again within the same tick, unseen in its time stamp.
constexpr std::chrono::nanoseconds Settle = 100ms;

#if defined(_WIN32)
// What tells one version of a file from another.
struct Version
{
  BY_HANDLE_FILE_INFORMATION Info{};

  [[nodiscard]] std::uintmax_t Size() const
  {
    return (static_cast<std::uintmax_t>(Info.nFileSizeHigh) << 32) | Info.nFileSizeLow;
  }
  [[nodiscard]] bool SameFile(const Version& other) const
  {
    return Info.dwVolumeSerialNumber == other.Info.dwVolumeSerialNumber &&
           Info.nFileIndexHigh == other.Info.nFileIndexHigh &&
           Info.nFileIndexLow == other.Info.nFileIndexLow;
  }
  [[nodiscard]] bool operator==(const Version& other) const
  {
    return SameFile(other) && Size() == other.Size() &&
           CompareFileTime(&Info.ftLastWriteTime, &other.Info.ftLastWriteTime) == 0;
  }
  [[nodiscard]] std::chrono::nanoseconds Age() const
  {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    const auto ticks = [](const FILETIME& time)
    { return (static_cast<long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime; };
    return std::chrono::nanoseconds((ticks(now) - ticks(Info.ftLastWriteTime)) * 100);
  }
};

// A file open for reading that others may still write, rename or remove.
class OpenFile
{
public:
  explicit OpenFile(const fs::path& path, DWORD access = GENERIC_READ)
      : handle_(CreateFileW(path.c_str(), access,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr))
  {
  }
  ~OpenFile()
  {
    if (handle_ != INVALID_HANDLE_VALUE)
    {
      CloseHandle(handle_);
    }
  }
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;

  [[nodiscard]] std::optional<Version> Now() const
  {
    Version version;
    if (handle_ == INVALID_HANDLE_VALUE || GetFileInformationByHandle(handle_, &version.Info) == 0)
    {
      return std::nullopt;
    }
    return version;
  }

  // Up to `most` bytes from the start; false when the system will not.
  bool Read(std::string& bytes, std::size_t most) const
  {
    bytes.assign(most, '\0');
    std::size_t used = 0;
    while (used < most)
    {
      DWORD got = 0;
      if (ReadFile(handle_, bytes.data() + used, static_cast<DWORD>(most - used), &got, nullptr) ==
          0)
      {
        return false;
      }
      if (got == 0)
      {
        break;
      }
      used += got;
    }
    bytes.resize(used);
    return true;
  }

private:
  HANDLE handle_;
};

std::optional<Version> VersionAt(const fs::path& path)
{
  return OpenFile(path, FILE_READ_ATTRIBUTES).Now();
}
#else
struct Version
{
  struct stat Info = {};

  [[nodiscard]] std::uintmax_t Size() const { return static_cast<std::uintmax_t>(Info.st_size); }
  [[nodiscard]] bool SameFile(const Version& other) const
  {
    return Info.st_dev == other.Info.st_dev && Info.st_ino == other.Info.st_ino;
  }
  [[nodiscard]] bool operator==(const Version& other) const
  {
    const auto same_time = [](const timespec& a, const timespec& b)
    { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; };
    return SameFile(other) && Info.st_size == other.Info.st_size &&
           same_time(Info.st_mtim, other.Info.st_mtim) &&
           same_time(Info.st_ctim, other.Info.st_ctim);
  }
  [[nodiscard]] std::chrono::nanoseconds Age() const
  {
    const auto written =
        std::chrono::seconds(Info.st_mtim.tv_sec) + std::chrono::nanoseconds(Info.st_mtim.tv_nsec);
    return std::chrono::system_clock::now().time_since_epoch() - written;
  }
};

class OpenFile
{
public:
  // Not blocking: a pipe put in the file's place is found not regular, not
  // waited on.
  explicit OpenFile(const fs::path& path)
      : fd_(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC))
  {
  }
  ~OpenFile()
  {
    if (fd_ >= 0)
    {
      ::close(fd_);
    }
  }
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;

  [[nodiscard]] std::optional<Version> Now() const
  {
    Version version;
    if (fd_ < 0 || ::fstat(fd_, &version.Info) != 0 || !S_ISREG(version.Info.st_mode))
    {
      return std::nullopt;
    }
    return version;
  }

  bool Read(std::string& bytes, std::size_t most) const
  {
    bytes.assign(most, '\0');
    std::size_t used = 0;
    while (used < most)
    {
      const ssize_t got = ::read(fd_, bytes.data() + used, most - used);
      if (got < 0 && errno == EINTR)
      {
        continue;
      }
      if (got < 0)
      {
        return false;
      }
      if (got == 0)
      {
        break;
      }
      used += static_cast<std::size_t>(got);
    }
    bytes.resize(used);
    return true;
  }

private:
  int fd_;
};

std::optional<Version> VersionAt(const fs::path& path)
{
  Version version;
  if (::stat(path.c_str(), &version.Info) != 0)
  {
    return std::nullopt;
  }
  return version;
}
#endif

FileCheck Refusing(std::string text, RefusalKind kind)
{
  FileCheck check;
  check.Result.Error = Refusal{std::move(text), kind, std::nullopt, std::nullopt};
  return check;
}

[[noreturn]] void Changed(const fs::path& path)
{
  throw ChangedWhileRead(Utf8(path) +
                         " changed while it was read, so what was read may be no version of it; "
                         "it is deployed nowhere: try again once the file is saved");
}

// Waits until a write now would show in the file's time stamp, and makes
// sure none came meanwhile.
void LetSettle(const OpenFile& file, const Version& before, const fs::path& path)
{
  const std::chrono::nanoseconds age = before.Age();
  if (age >= Settle)
  {
    return;
  }
  std::this_thread::sleep_for(std::clamp(Settle - age, std::chrono::nanoseconds(0), Settle));
  if (file.Now() != before)
  {
    Changed(path);
  }
}
} // namespace

std::string AsServerReads(std::string bytes)
{
#if defined(_WIN32)
  std::size_t out = 0;
  for (std::size_t in = 0; in < bytes.size(); ++in)
  {
    if (bytes[in] == '\x1A')
    {
      break;
    }
    if (bytes[in] == '\r' && in + 1 < bytes.size() && bytes[in + 1] == '\n')
    {
      continue;
    }
    bytes[out++] = bytes[in];
  }
  bytes.resize(out);
#endif
  return bytes;
}

SourceFile ReadSourceFile(const fs::path& path)
{
  std::error_code error;
  const auto status = fs::status(path, error);
  if (status.type() == fs::file_type::none)
  {
    // The system would not say what is there: the server could not open it
    // either.
    return {{}, Refusing(std::string(CannotOpenConfig), RefusalKind::Open)};
  }
  if (auto why = NoFileReason(status, error))
  {
    return {{}, {std::move(why), {}}};
  }
  const OpenFile file(path);
  const std::optional<Version> before = file.Now();
  if (!before)
  {
    return {{}, Refusing(std::string(CannotOpenConfig), RefusalKind::Open)};
  }
  LetSettle(file, *before, path);
  if (before->Size() > ConfigFileLimit)
  {
    return {{}, Refusing(TooLargeText(before->Size()), RefusalKind::Size)};
  }
  SourceFile source;
  if (!file.Read(source.Bytes, static_cast<std::size_t>(ConfigFileLimit) + 1))
  {
    return {{}, Refusing(std::string(CannotOpenConfig), RefusalKind::Open)};
  }
  const std::optional<Version> at_path = VersionAt(path);
  if (file.Now() != before || !at_path || !at_path->SameFile(*before))
  {
    Changed(path);
  }
  source.Check.Result = CheckSettingsText(AsServerReads(source.Bytes));
  return source;
}

SourceFile ReadStandardInput()
{
#if defined(_WIN32)
  // The bytes as they come, as a file's would be: line ends are the
  // server's reader's to translate.
  _setmode(_fileno(stdin), _O_BINARY);
#endif
  // Read to the end for the size a reload would name, but not for ever: an
  // endless stream is no file.
  constexpr std::uintmax_t Endless = std::uintmax_t{64} << 20U;
  SourceFile source;
  std::uintmax_t size = 0;
  char chunk[8192];
  for (std::size_t got = 0;
       size < Endless && (got = std::fread(chunk, 1, sizeof chunk, stdin)) > 0;)
  {
    size += got;
    if (source.Bytes.size() <= ConfigFileLimit)
    {
      source.Bytes.append(chunk, got);
    }
  }
  if (std::ferror(stdin) != 0 || size >= Endless)
  {
    source.Check.Unreadable = std::ferror(stdin) != 0 ? "standard input cannot be read"
                                                      : "standard input did not end within 64 MiB";
    return source;
  }
  if (size > ConfigFileLimit)
  {
    return {{}, Refusing(TooLargeText(size), RefusalKind::Size)};
  }
  source.Check.Result = CheckSettingsText(AsServerReads(source.Bytes));
  return source;
}
} // namespace configtool
