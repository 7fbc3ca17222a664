#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <istream>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "devhost/GameCalls.h"
#include "devhost/PluginLibrary.h"
#include "devhost/World.h"
#include "devserver/CommandLine.h"

namespace devserver
{
struct SessionConfig
{
  std::filesystem::path ServerDirectory;
  std::string PluginPath;
  bool Colour = false;
};

// One play session on the simulated game: runs the command language line by
// line and prints each result as one line. Everything it does, plugin calls
// included, happens on the thread that calls Run.
class Session
{
public:
  Session(SessionConfig config, std::ostream& out);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Runs one line; throws CommandError when it cannot. A whole script is run
  // by RunScript (Script.h).
  void Run(const std::string& line);

  [[nodiscard]] bool PluginLoaded() const { return plugin_ != nullptr; }
  [[nodiscard]] std::string ServerDirectory() const { return config_.ServerDirectory.string(); }

private:
  using Handler = void (Session::*)(const Arguments& arguments);
  struct Command
  {
    Handler Run;
    CommandShape Shape;
  };

  void DefineClass(const Arguments& arguments);
  void Spawn(const Arguments& arguments);
  void Container(const Arguments& arguments);
  void Kill(const Arguments& arguments);
  void Drop(const Arguments& arguments);
  void Show(const Arguments& arguments);
  void Time(const Arguments& arguments);
  void Advance(const Arguments& arguments);
  void ConfigWrite(const Arguments& arguments);
  void ConfigFile(const Arguments& arguments);
  void ConfigRemove(const Arguments& arguments);
  void Load(const Arguments& arguments);
  void Unload(const Arguments& arguments);
  void Console(const Arguments& arguments);
  void Rcon(const Arguments& arguments);
  void RunCommand(const std::string& line);

  void PrintDeposit(const std::string& name, double destroy_time);
  devhost::SimCharacter& Character(const std::string& name);
  devhost::SimInventory* Inventory(const std::string& name);
  void Claim(const std::string& name);
  std::filesystem::path ConfigPath() const;
  void WriteConfig(const std::string& bytes);

  SessionConfig config_;
  std::ostream& out_;
  std::unique_ptr<devhost::PluginLibrary> plugin_;
  std::map<std::string, devhost::SimCharacter*> characters_;
  std::map<std::string, devhost::SimContainer*> containers_;
  RCONClientConnection* rcon_ = nullptr;
  std::int32_t next_rcon_id_ = 1;
  static const std::map<std::string, Command> Commands;
};
} // namespace devserver
