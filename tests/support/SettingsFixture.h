#pragma once

#include <gtest/gtest.h>

#include <exception>
#include <optional>
#include <string>

#include "devhost/Host.h"
#include "settings/CorpseSettings.h"
#include "support/Errors.h"
#include "support/ServerDirectory.h"

namespace testsupport
{
// Values no file in the settings tests produces, so an untouched store shows.
inline constexpr CorpseSettingsValues Previous{.tamedDinosAffected = true,
                                               .playersBodiesAffected = true,
                                               .tamedCorpseDecayTime = 11,
                                               .wildCorpseDecayTime = 22,
                                               .playersBodiesDecayTime = 33};

// A server directory the host reports, and the settings store holding
// Previous, for tests that load the settings file in this process.
class SettingsLoadTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    devhost::SetServerDirectory(server_.Path());
    CorpseSettings = Previous;
  }

  // The text of the exception a load throws, or nothing when it succeeds.
  static std::optional<std::string> LoadError()
  {
    return ErrorText([] { LoadSettings(); });
  }

  ServerDirectory server_;
};
} // namespace testsupport
