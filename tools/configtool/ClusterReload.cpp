#include "configtool/ClusterReload.h"

#include <system_error>
#include <thread>

#include <asio/io_context.hpp>

#include "commands/ReloadTexts.h"
#include "configtool/Terminal.h"
#include "configtool/Text.h"
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
      result.Error = "answered " + Quote(exchange.Reply);
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

namespace
{
ReloadResult Exchanged(const ReloadTarget& target, const ReloadOptions& options)
{
  ReloadResult result;
  const auto done = [&result, &options](const rcon::ExchangeResult& exchange)
  {
    result = Classify(exchange);
    if (options.LoginOnly && exchange.Outcome == rcon::ExchangeOutcome::Answered)
    {
      result = {ReloadOutcome::Reloaded, "", "", exchange.Elapsed};
    }
  };
  try
  {
    asio::io_context io;
    if (options.LoginOnly)
    {
      rcon::LogIn(io, target.Address, target.Password, options.Timeout, done);
    }
    else
    {
      rcon::SendCommand(io, target.Address, target.Password, ReloadCommandName, options.Timeout,
                        done);
    }
    io.run();
  }
  catch (const std::exception& error)
  {
    result = {ReloadOutcome::Unexpected, "", error.what(), {}};
  }
  return result;
}
} // namespace

// Each server on a thread of its own: the system looks host names up one at
// a time for each io_context, and a slow name must not hold up the others.
std::vector<ReloadResult> ReloadAll(const std::vector<ReloadTarget>& targets,
                                    const ReloadOptions& options)
{
  std::vector<ReloadResult> results(targets.size());
  if (options.Shown != nullptr)
  {
    std::vector<std::string> names;
    for (const ReloadTarget& target : targets)
    {
      names.push_back(target.Name);
    }
    options.Shown->Await(options.LoginOnly ? "logging in" : "reloading", std::move(names));
  }
  std::vector<std::thread> threads;
  threads.reserve(targets.size());
  for (std::size_t i = 0; i < targets.size(); ++i)
  {
    try
    {
      threads.emplace_back(
          [&target = targets[i], &result = results[i], &options, i]
          {
            result = Exchanged(target, options);
            if (options.Shown != nullptr)
            {
              options.Shown->Done(i);
            }
          });
    }
    catch (const std::system_error& error)
    {
      // Out of threads: the servers not started are not contacted, and
      // those that were are waited for.
      for (std::size_t rest = i; rest < targets.size(); ++rest)
      {
        results[rest] = {
            ReloadOutcome::Unexpected, "", std::string("not contacted: ") + error.what(), {}};
      }
      break;
    }
  }
  for (std::thread& thread : threads)
  {
    thread.join();
  }
  if (options.Shown != nullptr)
  {
    options.Shown->Clear();
  }
  return results;
}
} // namespace configtool
