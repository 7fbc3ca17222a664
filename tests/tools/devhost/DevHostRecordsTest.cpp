#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include <spdlog/logger.h>

#include "devhost/Host.h"
#include "devhost/Logging.h"
#include "devhost/Players.h"
#include "host/FString.h"
#include "host/Interfaces.h"

namespace
{
using devhost::RecentRecordLimit;

// One of the host's records: how to add its i-th entry and how to read the
// record back as text.
struct Record
{
  const char* Name;
  std::function<void(std::size_t)> Add;
  std::function<std::vector<std::string>()> Read;
};

void PrintTo(const Record& record, std::ostream* out)
{
  *out << record.Name;
}

std::string Entry(std::size_t i)
{
  return "entry-" + std::to_string(i);
}

class DevHostRecords : public ::testing::TestWithParam<Record>
{
protected:
  void SetUp() override
  {
    devhost::ResetHost();
    devhost::SetConsoleLogEnabled(false);
  }
  void TearDown() override { devhost::ResetHost(); }
};

// Past the limit each record keeps the most recent entries, in order, so a
// server's memory stays flat however many reloads it answers.
TEST_P(DevHostRecords, KeepOnlyTheMostRecentEntries)
{
  const std::size_t added = RecentRecordLimit + 10;
  for (std::size_t i = 0; i < added; ++i)
  {
    GetParam().Add(i);
  }
  const std::vector<std::string> kept = GetParam().Read();
  ASSERT_EQ(kept.size(), RecentRecordLimit);
  EXPECT_NE(kept.front().find(Entry(10)), std::string::npos) << kept.front();
  EXPECT_NE(kept.back().find(Entry(added - 1)), std::string::npos) << kept.back();
}

std::shared_ptr<PluginMessenger> Messenger(std::size_t i)
{
  return AsaApi::GetApiUtils().MessengerForPlugin(FString(Entry(i).c_str()));
}

INSTANTIATE_TEST_SUITE_P(
    Records, DevHostRecords,
    ::testing::Values(Record{"HostCalls", [](std::size_t i) { Messenger(i); },
                             [] { return devhost::HostCalls(); }},
                      Record{"MessengerLookups", [](std::size_t i) { Messenger(i); },
                             [] { return devhost::MessengerLookups(); }},
                      Record{"CapturedLog",
                             [](std::size_t i)
                             {
                               spdlog::logger logger("records", GetLogSinks().begin(),
                                                     GetLogSinks().end());
                               logger.info(Entry(i));
                             },
                             [] { return devhost::CapturedLog(); }},
                      Record{"DeliveredMessages",
                             [](std::size_t i)
                             {
                               Messenger(0)->SendPlayerMessage(devhost::Player("eve"),
                                                               {1.0F, 1.0F, 1.0F, 1.0F},
                                                               FString(Entry(i).c_str()));
                             },
                             []
                             {
                               std::vector<std::string> texts;
                               for (const auto& message : devhost::DeliveredMessages())
                               {
                                 texts.push_back(message.Text);
                               }
                               return texts;
                             }}),
    [](const auto& test) { return std::string(test.param.Name); });
} // namespace
