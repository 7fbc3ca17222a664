// ashgrove-devserver: a small game-server stand-in that loads the real
// plugin library through the development host and lets a person or a script
// play a session on the console and over RCON.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include <CLI/CLI.hpp>
#include <asio.hpp>
#include <unistd.h>

#include "devserver/RconServer.h"
#include "devserver/Session.h"

namespace
{
namespace fs = std::filesystem;

fs::path ProgramDirectory()
{
  return fs::read_symlink("/proc/self/exe").parent_path();
}

// A fresh server directory holding the sample settings file; removed again
// when the session ends.
class TemporaryServerDirectory
{
public:
  TemporaryServerDirectory()
  {
    std::string pattern = (fs::temp_directory_path() / "ashgrove-devserver-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
    {
      throw std::runtime_error("cannot create a temporary server directory");
    }
    path_ = pattern;
    const fs::path plugin_folder = path_ / "ArkApi" / "Plugins" / "Ashgrove";
    fs::create_directories(plugin_folder);
    fs::copy_file(ProgramDirectory() / "config.json", plugin_folder / "config.json");
  }

  ~TemporaryServerDirectory()
  {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }

  TemporaryServerDirectory(const TemporaryServerDirectory&) = delete;
  TemporaryServerDirectory& operator=(const TemporaryServerDirectory&) = delete;

  [[nodiscard]] const fs::path& Path() const { return path_; }

private:
  fs::path path_;
};

int RunScript(devserver::Session& session, const std::string& script, bool echo_comments)
{
  std::ifstream file(script);
  if (!file)
  {
    std::cerr << "error: cannot read script " << script << '\n';
    return 2;
  }
  return session.RunScript(file, std::cerr, echo_comments);
}

// Standard input is read on a thread of its own; every line is handed to
// the game thread, which is the only one that touches the plugin.
int RunInteractive(devserver::Session& session, asio::io_context& io)
{
  const bool terminal = isatty(STDIN_FILENO) != 0;
  const auto prompt = [terminal]
  {
    if (terminal)
    {
      std::cout << "> " << std::flush;
    }
  };
  auto guard = asio::make_work_guard(io);
  std::thread reader(
      [&]
      {
        prompt();
        for (std::string line; std::getline(std::cin, line);)
        {
          std::promise<void> done;
          asio::post(io,
                     [&]
                     {
                       try
                       {
                         session.Run(line);
                       }
                       catch (const std::exception& error)
                       {
                         std::cout << "error: " << error.what() << '\n';
                       }
                       std::cout.flush();
                       done.set_value();
                     });
          done.get_future().wait();
          prompt();
        }
        asio::post(io, [&] { io.stop(); });
      });
  io.run();
  reader.join();
  return 0;
}
} // namespace

int main(int argc, char** argv)
{
  CLI::App app{"Ashgrove development server: the real plugin on a simulated game"};
  std::string server_dir;
  std::string plugin_path = (ProgramDirectory() / "Ashgrove.so").string();
  std::string script;
  bool echo_comments = false;
  std::optional<std::uint16_t> rcon_port;
  std::string rcon_password;
  std::string rcon_bind = "127.0.0.1";
  app.add_option("--server-dir", server_dir,
                 "Server directory (default: a fresh temporary one with the sample config.json)");
  app.add_option("--plugin", plugin_path, "Plugin library to load")->capture_default_str();
  app.add_option("--script", script, "Run this script, then exit (it loads the plugin with 'load')")
      ->check(CLI::ExistingFile);
  app.add_flag("--comments", echo_comments,
               "Print the script's comments and blank lines where they stand, so that its "
               "results read as a story");
  auto* port_option = app.add_option("--rcon-port", rcon_port, "Serve RCON over TCP on this port");
  auto* password_option =
      app.add_option("--rcon-password", rcon_password, "Password RCON clients must give");
  app.add_option("--rcon-bind", rcon_bind, "Address to serve RCON on")->capture_default_str();
  port_option->needs(password_option);
  CLI11_PARSE(app, argc, argv);
  if (rcon_port && rcon_password.empty())
  {
    std::cerr << "error: RCON is never served without a password\n";
    return 2;
  }

  try
  {
    std::unique_ptr<TemporaryServerDirectory> temporary;
    if (server_dir.empty())
    {
      temporary = std::make_unique<TemporaryServerDirectory>();
      server_dir = temporary->Path().string();
    }
    const bool colour = isatty(STDOUT_FILENO) != 0;
    devserver::Session session({server_dir, plugin_path, colour}, std::cout);
    if (!script.empty())
    {
      return RunScript(session, script, echo_comments);
    }

    asio::io_context io;
    std::unique_ptr<devserver::RconServer> rcon;
    if (rcon_port)
    {
      rcon = std::make_unique<devserver::RconServer>(io, rcon_bind, *rcon_port, rcon_password,
                                                     std::cerr);
      std::cout << "rcon-listening address=" << rcon_bind << " port=" << rcon->Port() << std::endl;
    }
    std::cout << "server-dir " << server_dir << '\n';
    session.Run("load");
    return RunInteractive(session, io);
  }
  catch (const std::exception& error)
  {
    std::cerr << "error: " << error.what() << '\n';
    return 2;
  }
}
