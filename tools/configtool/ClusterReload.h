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
  std::string Name;
  rcon::ServerAddress Address;
  std::string Password;
};

class Progress;

struct ReloadOptions
{
  std::chrono::milliseconds Timeout{5000}; // for each step of each exchange
  Progress* Shown = nullptr;               // told as each server is done
  // Only log in, to learn whether each server answers and takes its
  // password: Reloaded then says it does, and nothing is reloaded.
  bool LoginOnly = false;
};

// Sends Ashgrove.Reload to every server at once, so that all of them take
// about as long as the slowest; the results come in the targets' order.
std::vector<ReloadResult> ReloadAll(const std::vector<ReloadTarget>& targets,
                                    const ReloadOptions& options);
} // namespace configtool
