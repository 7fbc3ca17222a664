#include "support/ServerDirectory.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <stdexcept>

#include "settings/SettingsLocation.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace testsupport
{
namespace
{
std::filesystem::path UniqueRoot()
{
  static std::atomic<int> counter{0};
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
#if defined(_WIN32)
  const auto process = GetCurrentProcessId();
#else
  const auto process = getpid();
#endif
  return std::filesystem::temp_directory_path() /
         ("ashgrove-test-" + std::to_string(process) + "-" + std::to_string(stamp) + "-" +
          std::to_string(counter++));
}
} // namespace

ServerDirectory::ServerDirectory() : root_(UniqueRoot())
{
  std::filesystem::create_directories(ConfigPath().parent_path());
}

ServerDirectory::~ServerDirectory()
{
  std::error_code ignored;
  std::filesystem::remove_all(root_, ignored);
}

std::filesystem::path ServerDirectory::ConfigPath() const
{
  return ConfigFilePathIn(root_);
}

void ServerDirectory::WriteConfig(const std::string& bytes) const
{
  std::ofstream file(ConfigPath(), std::ios::binary | std::ios::trunc);
  if (!file)
  {
    throw std::runtime_error("cannot write " + ConfigPath().string());
  }
  file << bytes;
}

void ServerDirectory::RemoveConfig() const
{
  std::filesystem::remove(ConfigPath());
}

std::filesystem::path ProgramDirectory()
{
#if defined(_WIN32)
  wchar_t buffer[4096] = {};
  GetModuleFileNameW(nullptr, buffer, 4096);
  return std::filesystem::path(buffer).parent_path();
#else
  return std::filesystem::read_symlink("/proc/self/exe").parent_path();
#endif
}
} // namespace testsupport
