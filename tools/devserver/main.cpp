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

// What the command line gives.
struct Options
{
  std::string ServerDir;
  std::string PluginPath = (ProgramDirectory() / "Ashgrove.so").string();
  std::string Script;
  bool EchoComments = false;
  std::string Record;
  std::optional<std::uint16_t> RconPort;
  std::optional<std::string> RconPassword;
  std::optional<std::string> RconPasswordFile;
  devserver::RconSettings Rcon;
  double AuthTimeout = 5.0;
  double PacketTimeout = 5.0;
  double WriteTimeout = 10.0;
};

int RunScript(devserver::Session& session, const Options& options)
{
  std::ifstream file(options.Script, std::ios::binary);
  if (!file)
  {
    std::cerr << "error: cannot read script " << options.Script << '\n';
    return 2;
  }
  // SIGINT and SIGTERM stop the script between lines, so that the session
  // ends cleanly and its temporary server directory goes with it.
  std::signal(SIGINT, &RequestStop);
  std::signal(SIGTERM, &RequestStop);
  devserver::ScriptOptions script;
  script.Name = options.Script;
  script.EchoComments = options.EchoComments;
  if (!options.Record.empty())
  {
    script.RecordTo = options.Record;
  }
  script.StopRequested = [] { return StopRequested != 0; };
  return devserver::RunScript(session, file, std::cout, std::cerr, script);
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

void AddSessionOptions(CLI::App& app, Options& options)
{
  app.add_option("--server-dir", options.ServerDir,
                 "Server directory (default: a fresh temporary one with the sample config.json)");
  app.add_option("--plugin", options.PluginPath, "Plugin library to load")->capture_default_str();
  app.add_option("--script", options.Script,
                 "Run this script, then exit (it loads the plugin with 'load')")
      ->check(CLI::ExistingFile);
  app.add_flag("--comments", options.EchoComments,
               "Print the script's comments and blank lines where they stand, so that its "
               "results read as a story");
  app.add_option("--record", options.Record,
                 "With --script: write the script to this file (it may be the script itself) "
                 "with each command's => lines replaced by what it printed this time")
      ->needs("--script");
}

void AddRconOptions(CLI::App& app, Options& options)
{
  app.add_option("--rcon-port", options.RconPort,
                 "Serve RCON over TCP on this port; standard input's end then no longer ends "
                 "the server, SIGINT or SIGTERM does");
  app.add_option("--rcon-password", options.RconPassword,
                 "Password RCON clients must give (other local users can read it here; prefer "
                 "--rcon-password-file or ASHGROVE_RCON_PASSWORD)");
  app.add_option("--rcon-password-file", options.RconPasswordFile,
                 "File holding the RCON password (one trailing line ending is dropped)");
  app.add_option("--rcon-bind", options.Rcon.BindAddress, "Address to serve RCON on")
      ->capture_default_str();
  app.add_option("--rcon-max-connections", options.Rcon.Limits.MaxConnections,
                 "Connections held at once; when all are taken a newcomer is turned away")
      ->capture_default_str()
      ->check(CLI::Range(1, 100000));
  AddSeconds(app, "--rcon-auth-timeout", options.AuthTimeout,
             "Seconds a connection has to authenticate");
  AddSeconds(app, "--rcon-packet-timeout", options.PacketTimeout,
             "Seconds a packet has to arrive whole once it has begun");
  AddSeconds(app, "--rcon-write-timeout", options.WriteTimeout,
             "Seconds a client's unsent replies may make no progress before it is dropped");
  app.add_option("--rcon-output-limit", options.Rcon.Limits.OutputLimit,
                 "Bytes of unsent replies past which a client's requests wait")
      ->capture_default_str()
      ->check(CLI::Range(std::size_t{4096}, std::size_t{1} << 30U));
}

// The RCON password from the one source given, or nothing when none is;
// throws when it cannot be had, and when RCON is asked for without one.
std::optional<std::string> RconPassword(const Options& options)
{
  std::optional<std::string> password = rcon::ResolvePassword(
      {options.RconPassword, options.RconPasswordFile, rcon::PasswordVariable},
      std::string("the RCON password is given more than once: give one of --rcon-password, "
                  "--rcon-password-file and ") +
          rcon::PasswordVariable);
  if (options.RconPort && !password)
  {
    throw std::runtime_error(std::string("RCON is never served without a password: give "
                                         "--rcon-password-file, ") +
                             rcon::PasswordVariable + " or --rcon-password");
  }
  return password;
}

std::unique_ptr<devserver::RconServer> StartRcon(asio::io_context& io, const Options& options,
                                                 const std::string& password)
{
  devserver::RconSettings rcon = options.Rcon;
  rcon.Port = *options.RconPort;
  rcon.Password = password;
  rcon.Limits.AuthTimeout = Milliseconds(options.AuthTimeout);
  rcon.Limits.PacketTimeout = Milliseconds(options.PacketTimeout);
  rcon.Limits.WriteTimeout = Milliseconds(options.WriteTimeout);
  WarnIfDescriptorsAreShort(rcon.Limits.MaxConnections);
  auto server = std::make_unique<devserver::RconServer>(io, rcon, std::cerr);
  std::cout << "rcon-listening address=" << rcon.BindAddress << " port=" << server->Port()
            << std::endl;
  return server;
}

// Loads the plugin and plays the session typed on standard input, serving
// RCON beside it when asked.
int Serve(devserver::Session& session, const Options& options,
          const std::optional<std::string>& password)
{
  asio::io_context io;
  std::unique_ptr<devserver::RconServer> server;
  if (options.RconPort)
  {
    server = StartRcon(io, options, *password);
  }
  std::cout << "server-dir " << options.ServerDir << '\n';
  session.Run("load");
  return RunInteractive(session, io, server != nullptr);
}

int Run(Options options)
{
  const std::optional<std::string> password = RconPassword(options);
  std::unique_ptr<TemporaryServerDirectory> temporary;
  if (options.ServerDir.empty())
  {
    temporary = std::make_unique<TemporaryServerDirectory>();
    options.ServerDir = temporary->Path().string();
  }
  // A script's results are checked and recorded as text: colour only for a
  // person at a terminal.
  const bool colour = options.Script.empty() && isatty(STDOUT_FILENO) != 0;
  devserver::Session session({options.ServerDir, options.PluginPath, colour}, std::cout);
  if (!options.Script.empty())
  {
    return RunScript(session, options);
  }
  return Serve(session, options, password);
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
  Options options;
  AddSessionOptions(app, options);
  AddRconOptions(app, options);
  CLI11_PARSE(app, argc, argv);
  try
  {
    return Run(std::move(options));
  }
  catch (const std::exception& error)
  {
    std::cerr << "error: " << error.what() << '\n';
    return 2;
  }
}
