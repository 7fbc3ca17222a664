// ashgrove-config: checks a settings file exactly as the server will read
// it, before it goes live, and prints the file's JSON Schema for editors.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "configtool/Arguments.h"
#include "configtool/Report.h"
#include "configtool/Schema.h"
#include "settings/SettingsLocation.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace
{
namespace fs = std::filesystem;
using configtool::Command;

constexpr const char* Usage =
    "usage: ashgrove-config check [FILE] [--server-dir DIR] [--strict] [--json]\n"
    "       ashgrove-config schema\n"
    "\n"
    "check   reads FILE (default: config.json in the current folder; with --server-dir, the\n"
    "        file the server reads below DIR) exactly as the server does, and prints the\n"
    "        settings a reload would put in force, or the error it would answer, and\n"
    "        warnings for what the server accepts but was probably not meant.\n"
    "        Exit status: 0 the server loads it, 1 it would refuse it (with --strict, also\n"
    "        when there is a warning), 2 wrong usage or a path that cannot be read.\n"
    "        --json prints the result as one JSON object.\n"
    "schema  prints the JSON Schema of the settings file.\n";

std::string Utf8Path(const fs::path& path)
{
  const std::u8string text = path.u8string();
  return {text.begin(), text.end()};
}

fs::path FileToCheck(const Command& command)
{
  if (command.ServerDir)
  {
    return ConfigFilePathIn(*command.ServerDir);
  }
  return command.File ? *command.File : fs::path("config.json");
}

void Print(const nlohmann::ordered_json& report)
{
  std::cout << report.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
}

int Check(const Command& command)
{
  const fs::path path = FileToCheck(command);
  const std::string shown = Utf8Path(path);
  const configtool::FileCheck check = configtool::CheckSettingsFile(path);
  if (check.Unreadable)
  {
    const std::string message = "cannot read " + shown + ": " + *check.Unreadable +
                                " (a reload would answer \"Can't open config.json\")";
    if (command.Json)
    {
      Print({{"file", shown},
             {"outcome", "unreadable"},
             {"status", configtool::UsageOrUnreadable},
             {"error", {{"text", "Can't open config.json"}, {"kind", "open"}, {"reason", message}}},
             {"warnings", nlohmann::ordered_json::array()}});
    }
    else
    {
      std::cerr << "ashgrove-config: " << message << '\n';
    }
    return configtool::UsageOrUnreadable;
  }
  if (command.Json)
  {
    Print(configtool::JsonReport(shown, check.Result, command.Strict));
  }
  else
  {
    std::cout << configtool::TextReport(shown, check.Result);
  }
  return configtool::ExitStatus(check.Result, command.Strict);
}

int Run(const std::vector<fs::path>& arguments)
{
  const configtool::ParsedCommand parsed = configtool::ParseCommand(arguments);
  if (parsed.Error)
  {
    std::cerr << "ashgrove-config: " << *parsed.Error << "\n\n" << Usage;
    return configtool::UsageOrUnreadable;
  }
  switch (parsed.Value.Kind)
  {
  case configtool::CommandKind::Help:
    std::cout << Usage;
    return 0;
  case configtool::CommandKind::Schema:
    std::cout << configtool::SchemaText();
    return 0;
  case configtool::CommandKind::Check:
    break;
  }
  return Check(parsed.Value);
}

// The command line as the system holds it: on Windows, wide text, so that
// names in any language reach the file functions intact.
std::vector<fs::path> CommandLineArguments([[maybe_unused]] int argc, [[maybe_unused]] char** argv)
{
  std::vector<fs::path> arguments;
#if defined(_WIN32)
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  for (int i = 1; wide != nullptr && i < count; ++i)
  {
    arguments.emplace_back(wide[i]);
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
    return configtool::UsageOrUnreadable;
  }
}
