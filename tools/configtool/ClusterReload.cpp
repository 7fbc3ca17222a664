#include "configtool/ClusterReload.h"

#include <asio/io_context.hpp>
#include <nlohmann/json.hpp>

#include "commands/ReloadTexts.h"
#include "settings/LoadErrors.h"

namespace configtool
{
const char* OutcomeWord(ReloadOutcome outcome)
{
  switch (outcome)
  {
  case ReloadOutcome::Reloaded:
    return "reloaded";
  case ReloadOutcome::Refused:
    return "refused";
  case ReloadOutcome::Unreachable:
    return "unreachable";
  case ReloadOutcome::AuthFailed:
    return "auth-failed";
  case ReloadOutcome::TimedOut:
    return "timed-out";
  case ReloadOutcome::Unexpected:
    break;
  }
  return "unexpected";
}

ReloadResult Classify(const rcon::ExchangeResult& exchange)
{
  ReloadResult result{ReloadOutcome::Unexpected, exchange.Reply, exchange.Error, exchange.Elapsed};
  switch (exchange.Outcome)
  {
  case rcon::ExchangeOutcome::Answered:
    if (exchange.Reply == ReloadedAnswer)
    {
      result.Outcome = ReloadOutcome::Reloaded;
    }
    else if (IsLoadFailure(exchange.Reply))
    {
      result.Outcome = ReloadOutcome::Refused;
    }
    else
    {
      // Neither "Reloaded config" nor a load's error: shown as it came.
      result.Error =
          "answered " + nlohmann::json(exchange.Reply)
                            .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    }
    break;
  case rcon::ExchangeOutcome::Unreachable:
    result.Outcome = ReloadOutcome::Unreachable;
    break;
  case rcon::ExchangeOutcome::AuthFailed:
    result.Outcome = ReloadOutcome::AuthFailed;
    break;
  case rcon::ExchangeOutcome::TimedOut:
    result.Outcome = ReloadOutcome::TimedOut;
    break;
  case rcon::ExchangeOutcome::Unexpected:
    break;
  }
  return result;
}

std::vector<ReloadResult> ReloadAll(const std::vector<ReloadTarget>& targets,
                                    std::chrono::milliseconds timeout)
{
  asio::io_context io;
  std::vector<ReloadResult> results(targets.size());
  for (std::size_t i = 0; i < targets.size(); ++i)
  {
    rcon::SendCommand(io, targets[i].Address, targets[i].Password, ReloadCommandName, timeout,
                      [&results, i](const rcon::ExchangeResult& exchange)
                      { results[i] = Classify(exchange); });
  }
  io.run();
  return results;
}
} // namespace configtool
