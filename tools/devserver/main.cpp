// ashgrove-devserver: a small game-server stand-in that loads the real
// plugin library through the development host and lets a person or a script
// play a session on the console and over RCON.
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include <CLI/CLI.hpp>
#include <asio.hpp>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include "devserver/InputReader.h"
#include "devserver/RconServer.h"
#include "devserver/Script.h"
#include "devserver/Session.h"
#include "rcon/Password.h"
#include "settings/SettingsLocation.h"

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
    const fs::path config = ConfigFilePathIn(path_);
    fs::create_directories(config.parent_path());
    fs::copy_file(ProgramDirectory() / "config.json", config);
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

volatile std::sig_atomic_t StopRequested = 0;

extern "C" void RequestStop(int /*signal*/)
{
  StopRequested = 1;
}

int RunScript(devserver::Session& session, const std::string& script,
              devserver::ScriptOptions options)
{
  std::ifstream file(script, std::ios::binary);
  if (!file)
  {
    std::cerr << "error: cannot read script " << script << '\n';
    return 2;
  }
  // SIGINT and SIGTERM stop the script between lines, so that the session
  // ends cleanly and its temporary server directory goes with it.
  std::signal(SIGINT, &RequestStop);
  std::signal(SIGTERM, &RequestStop);
  options.Name = script;
  options.StopRequested = [] { return StopRequested != 0; };
  return devserver::RunScript(session, file, std::cout, std::cerr, options);
}

// A server started with standard input, output or error closed would hand
// those numbers to the first files and sockets it opens, and read commands
// from a client or write results into one.
void KeepStandardDescriptorsOpen()
{
  for (int descriptor = 0; descriptor <= 2; ++descriptor)
  {
    if (fcntl(descriptor, F_GETFD) == -1 && errno == EBADF &&
        open("/dev/null", O_RDWR) != descriptor)
    {
      std::abort();
    }
  }
}

void WarnIfDescriptorsAreShort(std::size_t connections)
{
  rlimit limit{};
  // Room for the server's own files: the plugin, its settings, the log.
  constexpr rlim_t Reserve = 32;
  if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
      limit.rlim_cur < connections + Reserve)
  {
    std::cerr << "rcon: warning: the descriptor limit (" << limit.rlim_cur << ") is too low for "
              << connections << " connections; accepting will wait while descriptors run out\n";
  }
}

// The event loop, until SIGINT, SIGTERM, or (without RCON) the end of
// standard input. Whatever escapes a handler ends it with a report, so that
// everything is still torn down in order and the server directory removed.
int RunEventLoop(asio::io_context& io)
{
  try
  {
    io.run();
    return 0;
  }
  catch (const std::exception& error)
  {
    std::cerr << "error: " << error.what() << "; stopping\n";
  }
  catch (...)
  {
    std::cerr << "error: an unknown exception; stopping\n";
  }
  return 2;
}

// Standard input is read on a thread of its own; every line is handed to
// the game thread, which is the only one that touches the plugin.
int RunInteractive(devserver::Session& session, asio::io_context& io, bool serving_rcon)
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
  asio::signal_set signals(io, SIGINT, SIGTERM);
  signals.async_wait(
      [&io](const asio::error_code& error, int /*signal*/)
      {
        if (!error)
        {
          io.stop();
        }
      });
  prompt();
  devserver::InputReader reader(
      io, STDIN_FILENO,
      [&session, prompt](const std::string& line)
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
        prompt();
      },
      [&io, serving_rcon]
      {
        if (serving_rcon)
        {
          std::cerr << "standard input has ended; serving RCON until SIGINT or SIGTERM\n";
          return;
        }
        io.stop();
      });
  const int status = RunEventLoop(io);
  reader.Stop();
  return status;
}

// A duration in seconds, fractions allowed, from a hundredth to a week.
void AddSeconds(CLI::App& app, const std::string& name, double& seconds, const std::string& help)
{
  app.add_option(name, seconds, help)->capture_default_str()->check(CLI::Range(0.01, 604800.0));
}

std::chrono::milliseconds Milliseconds(double seconds)
{
  return std::chrono::milliseconds(static_cast<std::int64_t>(std::ceil(seconds * 1000.0)));
}
} // namespace

int main(int argc, char** argv)
{
  KeepStandardDescriptorsOpen();
  // A reader of our output that goes away must not kill the server before
  // it has cleaned up: writes to it fail instead.
  std::signal(SIGPIPE, SIG_IGN);

  CLI::App app{"Ashgrove development server: the real plugin on a simulated game"};
  app.set_version_flag("--version", std::string("ashgrove-devserver ") + ASHGROVE_VERSION);
  std::string server_dir;
  std::string plugin_path = (ProgramDirectory() / "Ashgrove.so").string();
  std::string script;
  bool echo_comments = false;
  std::string record;
  std::optional<std::uint16_t> rcon_port;
  std::optional<std::string> rcon_password;
  std::optional<std::string> rcon_password_file;
  devserver::RconSettings rcon;
  double auth_timeout = 5.0;
  double packet_timeout = 5.0;
  double write_timeout = 10.0;
  app.add_option("--server-dir", server_dir,
                 "Server directory (default: a fresh temporary one with the sample config.json)");
  app.add_option("--plugin", plugin_path, "Plugin library to load")->capture_default_str();
  app.add_option("--script", script, "Run this script, then exit (it loads the plugin with 'load')")
      ->check(CLI::ExistingFile);
  app.add_flag("--comments", echo_comments,
               "Print the script's comments and blank lines where they stand, so that its "
               "results read as a story");
  app.add_option("--record", record,
                 "With --script: write the script to this file (it may be the script itself) "
                 "with each command's => lines replaced by what it printed this time")
      ->needs("--script");
  app.add_option("--rcon-port", rcon_port,
                 "Serve RCON over TCP on this port; standard input's end then no longer ends "
                 "the server, SIGINT or SIGTERM does");
  app.add_option("--rcon-password", rcon_password,
                 "Password RCON clients must give (other local users can read it here; prefer "
                 "--rcon-password-file or ASHGROVE_RCON_PASSWORD)");
  app.add_option("--rcon-password-file", rcon_password_file,
                 "File holding the RCON password (one trailing line ending is dropped)");
  app.add_option("--rcon-bind", rcon.BindAddress, "Address to serve RCON on")
      ->capture_default_str();
  app.add_option("--rcon-max-connections", rcon.Limits.MaxConnections,
                 "Connections held at once; when all are taken a newcomer is turned away")
      ->capture_default_str()
      ->check(CLI::Range(1, 100000));
  AddSeconds(app, "--rcon-auth-timeout", auth_timeout, "Seconds a connection has to authenticate");
  AddSeconds(app, "--rcon-packet-timeout", packet_timeout,
             "Seconds a packet has to arrive whole once it has begun");
  AddSeconds(app, "--rcon-write-timeout", write_timeout,
             "Seconds a client's unsent replies may make no progress before it is dropped");
  app.add_option("--rcon-output-limit", rcon.Limits.OutputLimit,
                 "Bytes of unsent replies past which a client's requests wait")
      ->capture_default_str()
      ->check(CLI::Range(std::size_t{4096}, std::size_t{1} << 30U));
  CLI11_PARSE(app, argc, argv);

  std::optional<std::string> password;
  try
  {
    password = rcon::ResolvePassword(
        {rcon_password, rcon_password_file, rcon::PasswordVariable},
        std::string("the RCON password is given more than once: give one of --rcon-password, "
                    "--rcon-password-file and ") +
            rcon::PasswordVariable);
  }
  catch (const rcon::PasswordError& error)
  {
    std::cerr << "error: " << error.what() << '\n';
    return 2;
  }
  if (rcon_port && !password)
  {
    std::cerr << "error: RCON is never served without a password: give --rcon-password-file, "
              << rcon::PasswordVariable << " or --rcon-password\n";
    return 2;
  }
  rcon.Limits.AuthTimeout = Milliseconds(auth_timeout);
  rcon.Limits.PacketTimeout = Milliseconds(packet_timeout);
  rcon.Limits.WriteTimeout = Milliseconds(write_timeout);

  try
  {
    std::unique_ptr<TemporaryServerDirectory> temporary;
    if (server_dir.empty())
    {
      temporary = std::make_unique<TemporaryServerDirectory>();
      server_dir = temporary->Path().string();
    }
    // A script's results are checked and recorded as text: colour only for a
    // person at a terminal.
    const bool colour = script.empty() && isatty(STDOUT_FILENO) != 0;
    devserver::Session session({server_dir, plugin_path, colour}, std::cout);
    if (!script.empty())
    {
      devserver::ScriptOptions options;
      options.EchoComments = echo_comments;
      if (!record.empty())
      {
        options.RecordTo = record;
      }
      return RunScript(session, script, options);
    }

    asio::io_context io;
    std::unique_ptr<devserver::RconServer> server;
    if (rcon_port)
    {
      rcon.Port = *rcon_port;
      rcon.Password = *password;
      WarnIfDescriptorsAreShort(rcon.Limits.MaxConnections);
      server = std::make_unique<devserver::RconServer>(io, rcon, std::cerr);
      std::cout << "rcon-listening address=" << rcon.BindAddress << " port=" << server->Port()
                << std::endl;
    }
    std::cout << "server-dir " << server_dir << '\n';
    session.Run("load");
    return RunInteractive(session, io, server != nullptr);
  }
  catch (const std::exception& error)
  {
    std::cerr << "error: " << error.what() << '\n';
    return 2;
  }
}
