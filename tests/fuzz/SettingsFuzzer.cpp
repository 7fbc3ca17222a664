// Any bytes as config.json: LoadSettings either loads them or throws an
// exception derived from std::exception, a failed load changes nothing, and
// a load that succeeds agrees with an independent reading of the file.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "IndependentReading.h"
#include "configtool/SettingsCheck.h"
#include "devhost/Host.h"
#include "settings/ConfigFile.h"
#include "settings/CorpseSettings.h"
#include "support/ServerDirectory.h"

namespace
{
// The server directory the host reports, made once and removed at exit.
const testsupport::ServerDirectory& Server()
{
  static const testsupport::ServerDirectory server;
  static const bool reported = []
  {
    devhost::SetServerDirectory(server.Path());
    return true;
  }();
  static_cast<void>(reported);
  return server;
}

[[noreturn]] void Finding(const char* what)
{
  std::fprintf(stderr, "settings fuzzer: %s\n", what);
  std::abort();
}

// Settings no file loads to by accident, so an untouched store shows.
CorpseSettingsValues Sentinel(const std::uint8_t* data, std::size_t size)
{
  const auto seed = static_cast<std::int32_t>(size * 2654435761U + (size > 0 ? data[0] : 0U));
  return {true, false, true, seed, -seed, 77};
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  const std::string text(reinterpret_cast<const char*>(data), size);
  Server().WriteConfig(text);
  const CorpseSettingsValues before = Sentinel(data, size);
  CorpseSettings = before;
  const auto expected = ReadSettingsIndependently(text);
  // The settings checker must never fail on any bytes, and must come to the
  // server's own verdict.
  const configtool::CheckResult checked = configtool::CheckSettingsText(text);
  try
  {
    LoadSettings();
  }
  catch (const std::exception& error)
  {
    if (!(CorpseSettings == before))
    {
      Finding("a failed load changed the settings");
    }
    if (expected)
    {
      Finding("a file the independent reading accepts failed to load");
    }
    // Beyond the file size limit only the load sees the file; the checker
    // is given the bytes themselves.
    if (size <= ConfigFileLimit && (!checked.Error || checked.Error->Text != error.what()))
    {
      Finding("the settings checker does not report the load's error");
    }
    return 0;
  }
  if (checked.Error || !checked.Settings || !(*checked.Settings == CorpseSettings))
  {
    Finding("the settings checker disagrees with a load that succeeded");
  }
  if (!expected)
  {
    Finding("a file the independent reading rejects loaded");
  }
  if (!(CorpseSettings == *expected))
  {
    Finding("the loaded settings disagree with the independent reading");
  }
  return 0;
}
