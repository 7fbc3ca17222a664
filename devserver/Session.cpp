#include "devserver/Session.h"

#include <charconv>
#include <fstream>
#include <iterator>
#include <limits>
#include <optional>
#include <sstream>

#include <fmt/format.h>

#include "devhost/Host.h"
#include "devserver/Output.h"

namespace devserver
{
namespace
{
using devhost::CharacterKind;

struct ParsedLine
{
  std::string Command;
  std::string Rest; // everything after the command, as typed
  std::vector<std::string> Words;
};

ParsedLine Parse(const std::string& line)
{
  ParsedLine parsed;
  const auto begin = line.find_first_not_of(" \t");
  const auto end = line.find_first_of(" \t", begin);
  parsed.Command = line.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
  if (end != std::string::npos)
  {
    const auto rest = line.find_first_not_of(" \t", end);
    parsed.Rest = rest == std::string::npos ? "" : line.substr(rest);
  }
  std::istringstream words(parsed.Rest);
  for (std::string word; words >> word;)
  {
    parsed.Words.push_back(word);
  }
  return parsed;
}

template <class T> T ParseNumber(const std::string& text, const std::string& what)
{
  T value{};
  const auto* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || stop != end)
  {
    throw CommandError(fmt::format("{} must be a number, not '{}'", what, text));
  }
  return value;
}

// The key=value words after the positional ones.
std::map<std::string, std::string> Options(const std::vector<std::string>& words,
                                           std::size_t positional,
                                           std::initializer_list<const char*> allowed)
{
  std::map<std::string, std::string> options;
  for (std::size_t i = positional; i < words.size(); ++i)
  {
    const auto equals = words[i].find('=');
    const std::string key = words[i].substr(0, equals);
    if (equals == std::string::npos ||
        std::find_if(allowed.begin(), allowed.end(), [&](const char* a) { return key == a; }) ==
            allowed.end())
    {
      throw CommandError("unexpected '" + words[i] + "'");
    }
    options[key] = words[i].substr(equals + 1);
  }
  return options;
}

void RequireWords(const std::vector<std::string>& words, std::size_t count, const char* usage)
{
  if (words.size() < count)
  {
    throw CommandError(std::string("usage: ") + usage);
  }
}

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
} // namespace

const std::map<std::string, Session::Handler> Session::Handlers = {
    {"class", &Session::DefineClass},
    {"spawn", &Session::Spawn},
    {"container", &Session::Container},
    {"kill", &Session::Kill},
    {"drop", &Session::Drop},
    {"show", &Session::Show},
    {"time", &Session::Time},
    {"advance", &Session::Advance},
    {"config-write", &Session::ConfigWrite},
    {"config-file", &Session::ConfigFile},
    {"config-remove", &Session::ConfigRemove},
    {"load", &Session::Load},
    {"unload", &Session::Unload},
    {"console", &Session::Console},
    {"rcon", &Session::Rcon},
};

Session::Session(SessionConfig config, std::ostream& out) : config_(std::move(config)), out_(out)
{
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
  const auto first = line.find_first_not_of(" \t\r");
  if (first == std::string::npos || line[first] == '#')
  {
    return;
  }
  std::string trimmed = line;
  while (!trimmed.empty() && (trimmed.back() == '\r' || trimmed.back() == '\n'))
  {
    trimmed.pop_back();
  }
  const ParsedLine parsed = Parse(trimmed);
  const auto handler = Handlers.find(parsed.Command);
  if (handler == Handlers.end())
  {
    throw CommandError("unknown command '" + parsed.Command + "'");
  }
  (this->*handler->second)(parsed.Words, parsed.Rest);
  out_.flush();
}

void Session::DefineClass(const Words& words, const std::string& /*rest*/)
{
  RequireWords(words, 3, "class NAME player|dino|other corpse=S [tamed=S]");
  const CharacterKind kind = KindFrom(words[1]);
  auto options = Options(words, 2, {"corpse", "tamed"});
  if (options.count("corpse") == 0)
  {
    throw CommandError("class needs corpse=S");
  }
  if (options.count("tamed") != 0 && kind != CharacterKind::Dino)
  {
    throw CommandError("only a dino class has a tamed lifespan");
  }
  if (devhost::FindClass(words[0]) != nullptr)
  {
    throw CommandError("class '" + words[0] + "' already exists");
  }
  const auto corpse = ParseNumber<float>(options["corpse"], "corpse");
  const auto tamed =
      options.count("tamed") != 0 ? ParseNumber<float>(options["tamed"], "tamed") : 0.0F;
  devhost::DefineClass(words[0], kind, corpse, tamed);
  out_ << fmt::format("class {} kind={} CorpseLifespan={} TamedCorpseLifespan={}", words[0],
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

void Session::Spawn(const Words& words, const std::string& /*rest*/)
{
  RequireWords(words, 2, "spawn NAME CLASS [team=N]");
  auto options = Options(words, 2, {"team"});
  devhost::SimClass* sim_class = devhost::FindClass(words[1]);
  if (sim_class == nullptr)
  {
    throw CommandError("no class '" + words[1] + "'");
  }
  Claim(words[0]);
  const auto team =
      options.count("team") != 0 ? ParseNumber<std::int32_t>(options["team"], "team") : 0;
  characters_[words[0]] = devhost::SpawnCharacter(words[0], sim_class, team);
  out_ << fmt::format("spawned {} class={} kind={} team={}", words[0], words[1],
                      KindName(sim_class->Kind), team)
       << '\n';
}

void Session::Container(const Words& words, const std::string& /*rest*/)
{
  RequireWords(words, 1, "container NAME");
  Claim(words[0]);
  containers_[words[0]] = devhost::SpawnContainer(words[0]);
  out_ << "container " << words[0] << '\n';
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

void Session::Kill(const Words& words, const std::string& /*rest*/)
{
  RequireWords(words, 1, "kill NAME");
  devhost::SimCharacter& character = Character(words[0]);
  const devhost::DeathOutcome outcome = devhost::Kill(&character);
  out_ << fmt::format("died {} result={}", words[0], Bool(outcome.DieResult)) << '\n';
  if (outcome.DepositDestroyTime)
  {
    PrintDeposit(words[0], *outcome.DepositDestroyTime);
  }
}

void Session::Drop(const Words& words, const std::string& /*rest*/)
{
  RequireWords(words, 1, "drop NAME [destroy=D]");
  auto options = Options(words, 1, {"destroy"});
  devhost::SimInventory* inventory = Inventory(words[0]);
  const double requested = options.count("destroy") != 0
                               ? ParseNumber<double>(options["destroy"], "destroy")
                               : devhost::World().TimeSeconds + 600.0;
  PrintDeposit(words[0], devhost::DropInventory(inventory, requested));
}

void Session::Show(const Words& words, const std::string& /*rest*/)
{
  RequireWords(words, 1, "show NAME");
  if (containers_.count(words[0]) != 0)
  {
    out_ << "container " << words[0] << '\n';
    return;
  }
  const devhost::SimCharacter& c = Character(words[0]);
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

void Session::Time(const Words& words, const std::string& /*rest*/)
{
  RequireWords(words, 1, "time T");
  devhost::World().TimeSeconds = ParseNumber<double>(words[0], "time");
  out_ << "time now=" << Number(devhost::World().TimeSeconds) << '\n';
}

void Session::Advance(const Words& words, const std::string& /*rest*/)
{
  RequireWords(words, 1, "advance T");
  devhost::World().TimeSeconds += ParseNumber<double>(words[0], "advance");
  out_ << "time now=" << Number(devhost::World().TimeSeconds) << '\n';
}

std::filesystem::path Session::ConfigPath() const
{
  return config_.ServerDirectory / "ArkApi" / "Plugins" / "Ashgrove" / "config.json";
}

void Session::WriteConfig(const std::string& bytes)
{
  std::filesystem::create_directories(ConfigPath().parent_path());
  std::ofstream file(ConfigPath(), std::ios::binary | std::ios::trunc);
  file << bytes;
  if (!file)
  {
    throw CommandError("cannot write " + ConfigPath().string());
  }
  out_ << "config-written bytes=" << bytes.size() << '\n';
}

void Session::ConfigWrite(const Words& /*words*/, const std::string& rest)
{
  WriteConfig(rest);
}

void Session::ConfigFile(const Words& words, const std::string& /*rest*/)
{
  RequireWords(words, 1, "config-file PATH");
  std::ifstream file(words[0], std::ios::binary);
  if (!file)
  {
    throw CommandError("cannot read '" + words[0] + "'");
  }
  WriteConfig({std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()});
}

void Session::ConfigRemove(const Words& /*words*/, const std::string& /*rest*/)
{
  std::error_code error;
  std::filesystem::remove(ConfigPath(), error);
  out_ << "config-removed" << '\n';
}

void Session::Load(const Words& /*words*/, const std::string& /*rest*/)
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
    out_ << "load-failed error=" << Quoted(*failure) << '\n';
    return;
  }
  out_ << "loaded" << '\n';
}

void Session::Unload(const Words& /*words*/, const std::string& /*rest*/)
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

void Session::Console(const Words& words, const std::string& rest)
{
  RequireWords(words, 2, "console PLAYER|- TEXT");
  const auto text_start = rest.find_first_not_of(" \t", rest.find_first_of(" \t"));
  const std::string text = rest.substr(text_start);
  APlayerController* player = words[0] == "-" ? nullptr : devhost::Player(words[0]);
  if (!devhost::RunConsoleCommand(player, text))
  {
    out_ << "console-unknown text=" << Quoted(text) << '\n';
  }
}

void Session::Rcon(const Words& words, const std::string& rest)
{
  RequireWords(words, 1, "rcon TEXT");
  const std::int32_t id = next_rcon_id_++;
  if (!devhost::RunRconCommand(rcon_, id, rest))
  {
    out_ << fmt::format("rcon-unknown id={} text={}", id, Quoted(rest)) << '\n';
  }
}
} // namespace devserver
