#include "support/PluginFixture.h"

#include "devhost/Host.h"
#include "devhost/Logging.h"
#include "settings/SettingsTable.h"

namespace testsupport
{
void PluginTest::SetUp()
{
  devhost::ResetHost();
  devhost::SetConsoleLogEnabled(false);
  devhost::SetServerDirectory(server_.Path());
  server_.WriteConfig(ConfigText(DefaultSettings));
}

void PluginTest::TearDown()
{
  UnloadPlugin();
  devhost::ResetHost();
}

void PluginTest::LoadPlugin()
{
  plugin_ = std::make_unique<devhost::PluginLibrary>(PluginPath());
  const auto error = plugin_->Init();
  ASSERT_FALSE(error) << "Plugin_Init threw: " << *error;
}

void PluginTest::UnloadPlugin()
{
  if (plugin_)
  {
    plugin_->Unload();
    plugin_->Close();
    plugin_.reset();
  }
}
} // namespace testsupport
