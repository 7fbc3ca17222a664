#include "devserver/Session.h"

#include <cmath>
#include <fstream>
#include <iterator>
#include <optional>
#include <system_error>

#include <fmt/format.h>

#include "devhost/Commands.h"
#include "devhost/GameCalls.h"
#include "devhost/Host.h"
#include "devhost/Logging.h"
#include "devhost/Players.h"
#include "devhost/Rcon.h"
#include "devhost/World.h"
#include "devserver/Output.h"
#include "settings/SettingsLocation.h"

namespace devserver
{
namespace
{
using devhost::CharacterKind;

const char* KindName(CharacterKind kind)
{
  switch (kind)
  {
  case CharacterKind::Player:
    return "player";
  case CharacterKind::Dino:
    return "dino";
  case CharacterKind::Other:
    break;
  }
  return "other";
}

CharacterKind KindFrom(const std::string& name)
{
  if (name == "player")
  {
    return CharacterKind::Player;
  }
  if (name == "dino")
  {
    return CharacterKind::Dino;
  }
  if (name == "other")
  {
    return CharacterKind::Other;
  }
  throw CommandError("kind must be player, dino or other, not '" + name + "'");
}

std::string Bool(bool value)
{
  return value ? "true" : "false";
}

CommandShape Shape(const char* usage, std::size_t positional, std::vector<std::string> options = {})
{
  return CommandShape{usage, positional, std::move(options), false};
}

// Positional words, then free text: the rest of the line as typed.
CommandShape TextShape(const char* usage, std::size_t positional)
{
  return CommandShape{usage, positional, {}, true};
}
} // namespace

const std::map<std::string, Session::Command> Session::Commands = {
    {"class",
     {&Session::DefineClass,
      Shape("class NAME player|dino|other corpse=S [tamed=S]", 2, {"corpse", "tamed"})}},
    {"spawn", {&Session::Spawn, Shape("spawn NAME CLASS [team=N]", 2, {"team"})}},
    {"container", {&Session::Container, Shape("container NAME", 1)}},
    {"kill", {&Session::Kill, Shape("kill NAME", 1)}},
    {"drop", {&Session::Drop, Shape("drop NAME [destroy=D]", 1, {"destroy"})}},
    {"show", {&Session::Show, Shape("show NAME", 1)}},
    {"time", {&Session::Time, Shape("time T", 1)}},
    {"advance", {&Session::Advance, Shape("advance T", 1)}},
    {"config-write", {&Session::ConfigWrite, TextShape("config-write TEXT", 0)}},
    {"config-file", {&Session::ConfigFile, Shape("config-file PATH", 1)}},
    {"config-remove", {&Session::ConfigRemove, Shape("config-remove", 0)}},
    {"load", {&Session::Load, Shape("load", 0)}},
    {"unload", {&Session::Unload, Shape("unload", 0)}},
    {"console", {&Session::Console, TextShape("console PLAYER|- TEXT", 1)}},
    {"rcon", {&Session::Rcon, TextShape("rcon TEXT", 0)}},
};

Session::Session(SessionConfig config, std::ostream& out) : config_(std::move(config)), out_(out)
{
  // A path, never a name for the library search path: "Ashgrove.so" is the
  // one in the current folder.
  if (!config_.PluginPath.empty())
  {
    config_.PluginPath = std::filesystem::absolute(config_.PluginPath).string();
  }
  devhost::ResetHost();
  devhost::SetConsoleLogEnabled(false);
  devhost::SetServerDirectory(config_.ServerDirectory.string());
  // Flushed line by line: over RCON the session is driven from outside, and
  // whoever watches the output must see each line as it happens.
  devhost::SetLogListener([this](const std::string& line)
                          { out_ << "log " << line << '\n'
                                 << std::flush; });
  devhost::SetMessageListener(
      [this](const devhost::DeliveredMessage& message)
      {
        std::string line =
            fmt::format("message {} r={} g={} b={} a={} text={}", message.Player,
                        Number(message.Colour.R), Number(message.Colour.G),
                        Number(message.Colour.B), Number(message.Colour.A), Quoted(message.Text));
        out_ << (config_.Colour ? InColour(line, message.Colour) : line) << '\n' << std::flush;
      });
  rcon_ = devhost::OpenRconConnection(
      [this](const devhost::RconReply& reply)
      {
        out_ << fmt::format("rcon-reply id={} type={} body={}", reply.Id, reply.Type,
                            Quoted(reply.Body))
             << '\n'
             << std::flush;
      });
}

Session::~Session()
{
  if (plugin_)
  {
    plugin_->Unload();
    plugin_->Close();
  }
  devhost::CloseRconConnection(rcon_);
  devhost::SetLogListener(nullptr);
  devhost::SetMessageListener(nullptr);
}

void Session::Run(const std::string& line)
{
  try
  {
    RunCommand(line);
  }
  catch (const CommandError&)
  {
    throw;
  }
  catch (const std::bad_alloc&)
  {
    throw CommandError("out of memory");
  }
  catch (const std::exception& error)
  {
    throw CommandError(std::string("internal error: ") + error.what());
  }
  out_.flush();
}

void Session::RunCommand(const std::string& line)
{
  const std::optional<CommandLine> split = SplitCommand(line);
  if (!split)
  {
    return;
  }
  const auto command = Commands.find(split->Command);
  if (command == Commands.end())
  {
    throw CommandError("unknown command '" + split->Command + "'");
  }
  const Arguments arguments = ParseArguments(split->Rest, command->second.Shape);
  (this->*command->second.Run)(arguments);
}

void Session::DefineClass(const Arguments& arguments)
{
  const std::string& name = arguments.Words[0];
  const CharacterKind kind = KindFrom(arguments.Words[1]);
  const auto& options = arguments.Options;
  if (options.count("corpse") == 0)
  {
    throw CommandError("class needs corpse=S");
  }
  if (options.count("tamed") != 0 && kind != CharacterKind::Dino)
  {
    throw CommandError("only a dino class has a tamed lifespan");
  }
  if (devhost::FindClass(name) != nullptr)
  {
    throw CommandError("class '" + name + "' already exists");
  }
  const auto corpse = ParseNumber<float>(options.at("corpse"), "corpse");
  const auto tamed =
      options.count("tamed") != 0 ? ParseNumber<float>(options.at("tamed"), "tamed") : 0.0F;
  devhost::DefineClass(name, kind, corpse, tamed);
  out_ << fmt::format("class {} kind={} CorpseLifespan={} TamedCorpseLifespan={}", name,
                      KindName(kind), Number(corpse),
                      kind == CharacterKind::Dino ? Number(tamed) : "-")
       << '\n';
}

void Session::Claim(const std::string& name)
{
  if (characters_.count(name) != 0 || containers_.count(name) != 0)
  {
    throw CommandError("'" + name + "' already exists");
  }
}

void Session::Spawn(const Arguments& arguments)
{
  const std::string& name = arguments.Words[0];
  const std::string& class_name = arguments.Words[1];
  devhost::SimClass* sim_class = devhost::FindClass(class_name);
  if (sim_class == nullptr)
  {
    throw CommandError("no class '" + class_name + "'");
  }
  Claim(name);
  const auto team = arguments.Options.count("team") != 0
                        ? ParseNumber<std::int32_t>(arguments.Options.at("team"), "team")
                        : 0;
  characters_[name] = devhost::SpawnCharacter(name, sim_class, team);
  out_ << fmt::format("spawned {} class={} kind={} team={}", name, class_name,
                      KindName(sim_class->Kind), team)
       << '\n';
}

void Session::Container(const Arguments& arguments)
{
  const std::string& name = arguments.Words[0];
  Claim(name);
  containers_[name] = devhost::SpawnContainer(name);
  out_ << "container " << name << '\n';
}

devhost::SimCharacter& Session::Character(const std::string& name)
{
  const auto found = characters_.find(name);
  if (found == characters_.end())
  {
    throw CommandError("no character '" + name + "'");
  }
  return *found->second;
}

devhost::SimInventory* Session::Inventory(const std::string& name)
{
  if (const auto container = containers_.find(name); container != containers_.end())
  {
    return container->second->Inventory;
  }
  return Character(name).Inventory;
}

void Session::PrintDeposit(const std::string& name, double destroy_time)
{
  out_ << fmt::format("deposit {} destroy_time={}", name, Number(destroy_time)) << '\n';
}

void Session::Kill(const Arguments& arguments)
{
  const std::string& name = arguments.Words[0];
  const devhost::DeathOutcome outcome = devhost::Kill(&Character(name));
  out_ << fmt::format("died {} result={}", name, Bool(outcome.DieResult)) << '\n';
  if (outcome.DepositDestroyTime)
  {
    PrintDeposit(name, *outcome.DepositDestroyTime);
  }
}

void Session::Drop(const Arguments& arguments)
{
  const std::string& name = arguments.Words[0];
  devhost::SimInventory* inventory = Inventory(name);
  const double requested = arguments.Options.count("destroy") != 0
                               ? ParseNumber<double>(arguments.Options.at("destroy"), "destroy")
                               : devhost::World().TimeSeconds + 600.0;
  PrintDeposit(name, devhost::DropInventory(inventory, requested));
}

void Session::Show(const Arguments& arguments)
{
  const std::string& name = arguments.Words[0];
  if (containers_.count(name) != 0)
  {
    out_ << "container " << name << '\n';
    return;
  }
  const devhost::SimCharacter& c = Character(name);
  const bool creature = c.Kind == CharacterKind::Dino;
  const auto bit = (c.Flags >> devhost::IgnoreDecompositionBit) & 1U;
  out_ << fmt::format("character {} class={} kind={} team={} dead={} CorpseLifespan={} "
                      "TamedCorpseLifespan={} CorpseLifespanNonRelevant={} "
                      "bIgnoreCorpseDecompositionMultipliers={} flags=0x{:08X}",
                      c.Name, c.ClassPrivate != nullptr ? c.ClassPrivate->Name : "-",
                      KindName(c.Kind), c.TargetingTeam, Bool(c.Dead), Number(c.CorpseLifespan),
                      creature ? Number(c.TamedCorpseLifespan) : "-",
                      creature ? Number(c.CorpseLifespanNonRelevant) : "-", bit, c.Flags)
       << '\n';
}

void Session::Time(const Arguments& arguments)
{
  devhost::World().TimeSeconds = ParseNumber<double>(arguments.Words[0], "time");
  out_ << "time now=" << Number(devhost::World().TimeSeconds) << '\n';
}

void Session::Advance(const Arguments& arguments)
{
  const double step = ParseNumber<double>(arguments.Words[0], "advance");
  const double now = devhost::World().TimeSeconds + step;
  if (!std::isfinite(now))
  {
    throw CommandError(fmt::format("advance {} takes the world clock beyond what it can hold",
                                   arguments.Words[0]));
  }
  devhost::World().TimeSeconds = now;
  out_ << "time now=" << Number(now) << '\n';
}

std::filesystem::path Session::ConfigPath() const
{
  return ConfigFilePathIn(config_.ServerDirectory);
}

void Session::WriteConfig(const std::string& bytes)
{
  const std::filesystem::path path = ConfigPath();
  std::error_code error;
  std::filesystem::create_directories(path.parent_path(), error);
  if (error)
  {
    throw CommandError(fmt::format("cannot create the folder {}: {}", path.parent_path().string(),
                                   error.message()));
  }
  // Writing through a pipe or into a device would block or lose the bytes.
  const auto status = std::filesystem::status(path, error);
  if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status))
  {
    throw CommandError("cannot write " + path.string() + ": it is not a regular file");
  }
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << bytes;
  file.close();
  if (!file)
  {
    throw CommandError("cannot write " + path.string());
  }
  out_ << "config-written bytes=" << bytes.size() << '\n';
}

void Session::ConfigWrite(const Arguments& arguments)
{
  WriteConfig(arguments.Text);
}

void Session::ConfigFile(const Arguments& arguments)
{
  const std::string& source = arguments.Words[0];
  std::error_code error;
  const auto status = std::filesystem::status(source, error);
  if (!std::filesystem::is_regular_file(status))
  {
    throw CommandError("cannot read '" + source + "': " +
                       (std::filesystem::exists(status) ? std::string("not a regular file")
                                                        : std::string("no such file")));
  }
  std::ifstream file(source, std::ios::binary);
  std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  if (!file && !file.eof())
  {
    throw CommandError("cannot read '" + source + "'");
  }
  WriteConfig(bytes);
}

void Session::ConfigRemove(const Arguments& /*arguments*/)
{
  std::error_code error;
  std::filesystem::remove(ConfigPath(), error);
  if (error)
  {
    throw CommandError("cannot remove " + ConfigPath().string() + ": " + error.message());
  }
  out_ << "config-removed" << '\n';
}

void Session::Load(const Arguments& /*arguments*/)
{
  if (plugin_)
  {
    throw CommandError("the plugin is already loaded");
  }
  try
  {
    plugin_ = std::make_unique<devhost::PluginLibrary>(config_.PluginPath);
  }
  catch (const std::exception& error)
  {
    throw CommandError(error.what());
  }
  if (const auto failure = plugin_->Init())
  {
    // As a host would: a plugin that failed to start is taken out again.
    plugin_->Unload();
    plugin_->Close();
    plugin_.reset();
    out_ << "load-failed error=" << Quoted(*failure) << " config=" << Quoted(ConfigPath().string())
         << '\n';
    return;
  }
  out_ << "loaded" << '\n';
}

void Session::Unload(const Arguments& /*arguments*/)
{
  if (!plugin_)
  {
    throw CommandError("the plugin is not loaded");
  }
  plugin_->Unload();
  plugin_->Close();
  plugin_.reset();
  out_ << "unloaded" << '\n';
}

void Session::Console(const Arguments& arguments)
{
  const std::string& player_name = arguments.Words[0];
  if (arguments.Text.empty())
  {
    throw CommandError("usage: console PLAYER|- TEXT");
  }
  APlayerController* player = player_name == "-" ? nullptr : devhost::Player(player_name);
  if (!devhost::RunConsoleCommand(player, arguments.Text))
  {
    out_ << "console-unknown text=" << Quoted(arguments.Text) << '\n';
  }
}

void Session::Rcon(const Arguments& arguments)
{
  if (arguments.Text.empty())
  {
    throw CommandError("usage: rcon TEXT");
  }
  const std::int32_t id = next_rcon_id_++;
  if (!devhost::RunRconCommand(rcon_, id, arguments.Text))
  {
    out_ << fmt::format("rcon-unknown id={} text={}", id, Quoted(arguments.Text)) << '\n';
  }
}
} // namespace devserver
