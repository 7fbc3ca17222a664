#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "devhost/Game.h"
#include "devhost/PluginLibrary.h"

namespace devserver
{
// A line the session cannot run.
class CommandError : public std::runtime_error
{
public:
  using std::runtime_error::runtime_error;
};

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

  // Runs one line; throws CommandError when it cannot.
  void Run(const std::string& line);

  [[nodiscard]] bool PluginLoaded() const { return plugin_ != nullptr; }

private:
  using Words = std::vector<std::string>;
  using Handler = void (Session::*)(const Words& words, const std::string& rest);

  void DefineClass(const Words& words, const std::string& rest);
  void Spawn(const Words& words, const std::string& rest);
  void Container(const Words& words, const std::string& rest);
  void Kill(const Words& words, const std::string& rest);
  void Drop(const Words& words, const std::string& rest);
  void Show(const Words& words, const std::string& rest);
  void Time(const Words& words, const std::string& rest);
  void Advance(const Words& words, const std::string& rest);
  void ConfigWrite(const Words& words, const std::string& rest);
  void ConfigFile(const Words& words, const std::string& rest);
  void ConfigRemove(const Words& words, const std::string& rest);
  void Load(const Words& words, const std::string& rest);
  void Unload(const Words& words, const std::string& rest);
  void Console(const Words& words, const std::string& rest);
  void Rcon(const Words& words, const std::string& rest);

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
  static const std::map<std::string, Handler> Handlers;
};
} // namespace devserver
