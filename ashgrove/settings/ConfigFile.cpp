#include "settings/ConfigFile.h"

#include <cstdio>
#include <stdexcept>

#include "settings/LoadErrors.h"

#if defined(_WIN32)
#include <windows.h>

#include <fstream>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#endif

namespace
{
[[noreturn]] void CannotOpen()
{
  throw std::runtime_error(std::string(CannotOpenConfig));
}

[[noreturn]] void TooLarge(std::uintmax_t size)
{
  throw std::runtime_error(TooLargeText(size));
}

#if defined(_WIN32)
bool IsFolder(DWORD attributes)
{
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Windows has no pipes or devices at an ordinary path; a folder is the one
// thing besides a file that can stand there.
template <class Path> std::string ReadRegularFile(const Path& path, DWORD attributes)
{
  if (IsFolder(attributes))
  {
    CannotOpen();
  }
  std::ifstream file(path);
  if (!file.is_open())
  {
    CannotOpen();
  }
  file.seekg(0, std::ios::end);
  const std::streamoff size = file.tellg();
  if (size > static_cast<std::streamoff>(ConfigFileLimit))
  {
    TooLarge(static_cast<std::uintmax_t>(size));
  }
  file.seekg(0, std::ios::beg);
  // Text mode: line ends arrive as the server's own file functions give them.
  std::string bytes(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
  file.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<std::size_t>(file.gcount()));
  return bytes;
}
#else
class Descriptor
{
public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor()
  {
    if (fd_ >= 0)
    {
      ::close(fd_);
    }
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  [[nodiscard]] int Get() const { return fd_; }

private:
  int fd_;
};

std::string ReadRegularFile(const char* path)
{
  // Not blocking: opening a pipe for reading would otherwise wait for a
  // writer. The file's kind is then checked on what was opened, not on the
  // name, so nothing can be swapped in between.
  const Descriptor file(::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  struct stat status = {};
  if (file.Get() < 0 || ::fstat(file.Get(), &status) != 0 || !S_ISREG(status.st_mode))
  {
    CannotOpen();
  }
  if (static_cast<std::uintmax_t>(status.st_size) > ConfigFileLimit)
  {
    TooLarge(static_cast<std::uintmax_t>(status.st_size));
  }
  // Room for one byte more than the file holds shows a file that grew while
  // it was read; it may grow up to one byte past the limit, no further.
  std::string bytes(static_cast<std::size_t>(status.st_size) + 1, '\0');
  std::size_t used = 0;
  while (used <= ConfigFileLimit)
  {
    if (used == bytes.size())
    {
      bytes.resize(std::min<std::size_t>(bytes.size() * 2, ConfigFileLimit + 1));
    }
    const ssize_t got = ::read(file.Get(), bytes.data() + used, bytes.size() - used);
    if (got < 0 && errno == EINTR)
    {
      continue;
    }
    if (got < 0)
    {
      CannotOpen();
    }
    if (got == 0)
    {
      break;
    }
    used += static_cast<std::size_t>(got);
  }
  if (used > ConfigFileLimit)
  {
    TooLarge(used);
  }
  bytes.resize(used);
  return bytes;
}
#endif
} // namespace

std::string TooLargeText(std::uintmax_t size)
{
  char text[96];
  std::snprintf(text, sizeof text, "config.json is %llu bytes, more than the limit of %llu bytes",
                static_cast<unsigned long long>(size),
                static_cast<unsigned long long>(ConfigFileLimit));
  return text;
}

#if defined(_WIN32)
std::string ReadConfigFile(const std::string& path)
{
  return ReadRegularFile(path, GetFileAttributesA(path.c_str()));
}

std::string ReadConfigFileAt(const std::filesystem::path& path)
{
  return ReadRegularFile(path, GetFileAttributesW(path.c_str()));
}
#else
std::string ReadConfigFile(const std::string& path)
{
  return ReadRegularFile(path.c_str());
}

std::string ReadConfigFileAt(const std::filesystem::path& path)
{
  return ReadRegularFile(path.c_str());
}
#endif
