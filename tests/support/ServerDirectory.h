#pragma once

#include <filesystem>
#include <string>

namespace testsupport
{
// A throw-away server directory with the plugin's folder in it.
class ServerDirectory
{
public:
  ServerDirectory();
  ~ServerDirectory();
  ServerDirectory(const ServerDirectory&) = delete;
  ServerDirectory& operator=(const ServerDirectory&) = delete;

  [[nodiscard]] std::string Path() const { return root_.string(); }
  [[nodiscard]] std::filesystem::path ConfigPath() const;
  void WriteConfig(const std::string& bytes) const;
  void RemoveConfig() const;

private:
  std::filesystem::path root_;
};

// The directory the running test program lives in.
std::filesystem::path ProgramDirectory();
} // namespace testsupport
