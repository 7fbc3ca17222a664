#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "devhost/Host.h"
#include "devserver/Session.h"
#include "support/PluginFixture.h"
#include "support/SettingsCases.h"

namespace testsupport
{
using devserver::Session;

// A session on a fresh server directory whose settings switch every kind
// on, printing into a string.
class DevServerSession : public ::testing::Test
{
protected:
  void SetUp() override
  {
    server_.WriteConfig(testsupport::ConfigText(testsupport::SampleSettings));
    session_ = std::make_unique<Session>(
        devserver::SessionConfig{server_.Path(), testsupport::PluginPath(), false}, out_);
  }

  void TearDown() override
  {
    session_.reset();
    devhost::ResetHost();
  }

  // Runs the lines and returns what they printed, one entry a line.
  std::vector<std::string> Run(const std::vector<std::string>& lines)
  {
    out_.str("");
    for (const auto& line : lines)
    {
      session_->Run(line);
    }
    std::vector<std::string> printed;
    std::istringstream text(out_.str());
    for (std::string line; std::getline(text, line);)
    {
      printed.push_back(line);
    }
    return printed;
  }

  testsupport::ServerDirectory server_;
  std::ostringstream out_;
  std::unique_ptr<Session> session_;
};
} // namespace testsupport
