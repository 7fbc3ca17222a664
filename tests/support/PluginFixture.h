#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "devhost/Host.h"
#include "devhost/PluginLibrary.h"
#include "support/PluginFiles.h"
#include "support/ServerDirectory.h"

namespace testsupport
{
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
