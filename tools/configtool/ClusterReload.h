#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "rcon/Client.h"

namespace configtool
{
// How a reload of one server ended, in the words the tool prints.
enum class ReloadOutcome
{
  Reloaded,    // "Reloaded config"
  Refused,     // the plugin's own error text: it keeps its settings
  Unreachable, // no connection, or it broke off
  AuthFailed,  // wrong password
  TimedOut,    // no complete answer in time
  Unexpected,  // an answer that is neither
};
// The last of them: reports count every outcome up to it.
constexpr ReloadOutcome LastReloadOutcome = ReloadOutcome::Unexpected;

const char* OutcomeWord(ReloadOutcome outcome);

struct ReloadResult
{
  ReloadOutcome Outcome = ReloadOutcome::Unexpected;
  std::string Reply; // what the server answered, when it answered
  std::string Error; // why there is no reload, in words
  std::chrono::milliseconds Elapsed{0};
};

// What an RCON exchange of Ashgrove.Reload comes to.
ReloadResult Classify(const rcon::ExchangeResult& exchange);

struct ReloadTarget
{
  rcon::ServerAddress Address;
  std::string Password;
};

// Sends Ashgrove.Reload to every server at once, so that all of them take
// about as long as the slowest; the results come in the targets' order.
std::vector<ReloadResult> ReloadAll(const std::vector<ReloadTarget>& targets,
                                    std::chrono::milliseconds timeout);
} // namespace configtool
