// ashgrove-config: checks a settings file exactly as the server will read
// it, before it goes live; reloads a server, or a whole cluster of them, over
// RCON; deploys a checked file to every server of a cluster and reloads them
// all at once, safely; and prints the JSON Schemas of its files for editors.
#include <exception>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "configtool/Arguments.h"
#include "configtool/Commands.h"
#include "configtool/Report.h"
#include "configtool/Text.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace
{
namespace fs = std::filesystem;

// The help, with the exit statuses the program keeps.
std::string Usage()
{
  return fmt::format(
      "usage: ashgrove-config check [FILE] [--server-dir DIR] [--strict] [--json]\n"
      "       ashgrove-config reload (--rcon HOST:PORT [--password-file FILE] | --cluster FILE\n"
      "                              [--server NAME]...) [--timeout S] [--lock-timeout S] "
      "[--json]\n"
      "       ashgrove-config deploy FILE --cluster FILE [--server NAME]... [--strict] "
      "[--dry-run]\n"
      "                              [--timeout S] [--lock-timeout S] [--json]\n"
      "       ashgrove-config schema [--cluster]\n"
      "       ashgrove-config --version\n"
      "\n"
      "check   reads FILE (default: config.json in the current folder; with --server-dir, the\n"
      "        file the server reads below DIR) exactly as the server does, and prints the\n"
      "        settings a reload would put in force, or the error it would answer, and\n"
      "        warnings for what the server accepts but was probably not meant.\n"
      "        Exit status: {loads} the server loads it, {refused} it would refuse it (with "
      "--strict, also\n"
      "        when there is a warning), {usage} wrong usage or a path that is no file.\n"
      "        --json prints the result as one JSON object.\n"
      "reload  sends Ashgrove.Reload over RCON to one server (its password in --password-file\n"
      "        or in ASHGROVE_RCON_PASSWORD) or to the servers of a cluster file, all at once,\n"
      "        each step waiting at most --timeout seconds (default 5), and prints a line per\n"
      "        server. Exit status: {loads} all reloaded, {refused} one refused the file, {usage} "
      "wrong usage or a\n"
      "        cluster file that will not do (nothing is sent), {unreached} one could not be "
      "reached,\n"
      "        authenticated or answered.\n"
      "deploy  checks FILE as check does, then for each server of the cluster with a\n"
      "        serverDir prints what changes, puts FILE in place atomically (keeping the file\n"
      "        it replaces as config.json.previous) and reloads the server; a server that\n"
      "        refuses it gets its previous file back. --dry-run writes and sends nothing.\n"
      "        Each server's folder is locked while it is deployed to; a deploy (or, locking\n"
      "        it shared, a reload of a cluster) waits at most --lock-timeout seconds (default\n"
      "        30) for a folder another deploy holds. Exit status as for reload; {usage} also "
      "when\n"
      "        FILE changed while it was read.\n"
      "schema  prints the JSON Schema of the settings file, or with --cluster of the cluster\n"
      "        file.\n",
      fmt::arg("loads", configtool::ExitLoads), fmt::arg("refused", configtool::ExitRefused),
      fmt::arg("usage", configtool::ExitUsage), fmt::arg("unreached", configtool::ExitNotReached));
}

int Run(const std::vector<std::string>& arguments)
{
  const configtool::ParsedCommand parsed = configtool::ParseCommand(arguments);
  if (parsed.Error)
  {
    std::cerr << "ashgrove-config: " << *parsed.Error << "\nsee '" << parsed.HelpCommand
              << "' for the usage\n";
    return configtool::ExitUsage;
  }
  const configtool::Command& command = parsed.Value;
  switch (command.Kind)
  {
  case configtool::CommandKind::Help:
    std::cout << Usage();
    return 0;
  case configtool::CommandKind::Version:
    std::cout << "ashgrove-config " << ASHGROVE_VERSION << '\n';
    return 0;
  case configtool::CommandKind::Schema:
    return configtool::RunSchema(command, std::cout);
  case configtool::CommandKind::Reload:
    return configtool::RunReload(command, std::cout, std::cerr);
  case configtool::CommandKind::Deploy:
    return configtool::RunDeploy(command, std::cout, std::cerr);
  case configtool::CommandKind::Check:
    break;
  }
  return configtool::RunCheck(command, std::cout, std::cerr);
}

// The command line as UTF-8: on Windows, from the system's wide text, so
// that names in any language reach the file functions intact.
std::vector<std::string> CommandLineArguments([[maybe_unused]] int argc,
                                              [[maybe_unused]] char** argv)
{
  std::vector<std::string> arguments;
#if defined(_WIN32)
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  for (int i = 1; wide != nullptr && i < count; ++i)
  {
    arguments.push_back(configtool::Utf8(fs::path(wide[i])));
  }
  LocalFree(wide);
#else
  for (int i = 1; i < argc; ++i)
  {
    arguments.emplace_back(argv[i]);
  }
#endif
  return arguments;
}
} // namespace

int main(int argc, char** argv)
{
#if defined(_WIN32)
  SetConsoleOutputCP(CP_UTF8);
#endif
  try
  {
    return Run(CommandLineArguments(argc, argv));
  }
  catch (const std::exception& error)
  {
    std::cerr << "ashgrove-config: " << error.what() << '\n';
    return configtool::ExitUsage;
  }
}
