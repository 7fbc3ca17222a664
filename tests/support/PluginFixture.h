#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "devhost/Game.h"
#include "devhost/Host.h"
#include "devhost/PluginLibrary.h"
#include "support/ServerDirectory.h"

namespace testsupport
{
// The plugin library as built beside the tests.
std::string PluginPath();

// A reflected name as a test name: letters and digits kept, the rest '_'.
std::string TestName(const std::string& text);

// The settings file text for the given switches and durations.
std::string ConfigText(bool tamed, bool wild, bool players, long long tamed_time = 1800,
                       long long wild_time = 300, long long players_time = 1800);

// A fresh host and world, a server directory with a settings file, and the
// real plugin library loaded into the host by path.
class PluginTest : public ::testing::Test
{
protected:
  void SetUp() override;
  void TearDown() override;

  // Loads and initialises the plugin; fails the test if Plugin_Init throws.
  void LoadPlugin();
  void UnloadPlugin();

  ServerDirectory server_;
  std::unique_ptr<devhost::PluginLibrary> plugin_;
};
} // namespace testsupport
