#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "configtool/Arguments.h"
#include "configtool/AtomicFile.h"
#include "configtool/ClusterFile.h"
#include "configtool/ClusterReload.h"
#include "configtool/ClusterReport.h"
#include "configtool/Commands.h"
#include "configtool/Deploy.h"
#include "rcon/Address.h"
#include "settings/SettingsReader.h"
#include "settings/SettingsTable.h"
#include "support/Errors.h"
#include "support/OtherUser.h"
#include "support/ServerDirectory.h"

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

namespace
{
namespace fs = std::filesystem;
using namespace std::chrono_literals;
using configtool::ClusterError;
using testsupport::ErrorText;

std::string ReadFile(const fs::path& path)
{
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void WriteFile(const fs::path& path, const std::string& bytes)
{
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

// The defaults, but for what `changed` sets to something else.
CorpseSettingsValues Defaults(const CorpseSettingsValues& changed)
{
  CorpseSettingsValues values = DefaultSettings;
  for (const Setting& setting : SettingsTable)
  {
    const CorpseSettingsValues none{};
    if (setting.ValueIn(changed) != setting.ValueIn(none))
    {
      setting.Store(values, setting.ValueIn(changed));
    }
  }
  return values;
}

void Replace(const fs::path& file, const std::string& bytes)
{
  configtool::StagedFile(file, bytes).Commit();
}

// No temporary file is left beside a file, whether its replace worked or not.
void ExpectNoTemporaryFiles(const fs::path& folder)
{
  for (const auto& entry : fs::directory_iterator(folder))
  {
    EXPECT_EQ(entry.path().filename().string().find(".ashgrove-"), std::string::npos)
        << entry.path();
  }
}

TEST(ClusterFile, ReadsEachServerAndResolvesItsPathsFromTheFilesFolder)
{
  const fs::path file = fs::path("clusters") / "main.json";
  const configtool::Cluster cluster = configtool::ReadClusterText(
      R"({"$schema": "./cluster.schema.json", "servers": [
           {"name": "island", "rcon": "127.0.0.1:27020", "passwordFile": "pw/island", "serverDir": "/srv/island"},
           {"name": "aberration", "rcon": "[::1]:27022", "passwordEnv": "ABERRATION_PW"}]})",
      file);
  ASSERT_EQ(cluster.Servers.size(), 2U);
  const configtool::ClusterServer& island = cluster.Servers[0];
  EXPECT_EQ(island.Name, "island");
  EXPECT_EQ(island.Address.Host, "127.0.0.1");
  EXPECT_EQ(island.Address.Port, "27020");
  EXPECT_EQ(island.PasswordFile, fs::path("clusters") / "pw/island");
  EXPECT_EQ(island.ServerDir, fs::path("clusters") / "/srv/island");
  const configtool::ClusterServer& aberration = cluster.Servers[1];
  EXPECT_EQ(aberration.Address.Host, "::1");
  EXPECT_EQ(aberration.PasswordEnv, "ABERRATION_PW");
  EXPECT_FALSE(aberration.ServerDir);
}

struct BadFile
{
  const char* Name;
  std::string Text;
  std::string Errors; // every line, in file order
};

void PrintTo(const BadFile& c, std::ostream* out)
{
  *out << c.Name;
}

class BadClusterFiles : public ::testing::TestWithParam<BadFile>
{
};

TEST_P(BadClusterFiles, AreRefusedWithEveryFaultAndItsPlace)
{
  EXPECT_EQ(
      ErrorText<ClusterError>([&] { configtool::ReadClusterText(GetParam().Text, "c.json"); }),
      GetParam().Errors);
}

// The cluster reader once kept a path for every value, at a cost that grew
// with the cube of the depth: 10,000 levels took 50 s.
TEST(ClusterFile, ADeeplyNestedFileIsRefusedAtOnce)
{
  constexpr std::size_t Depth = 100'000;
  const std::string text =
      R"({"servers": )" + std::string(Depth, '[') + std::string(Depth, ']') + "}";
  EXPECT_EQ(ErrorText<ClusterError>([&] { configtool::ReadClusterText(text, "deep.json"); }),
            R"(deep.json:1:14: error: a server is an object: {"name": ..., "rcon": ..., ...})");
}

const std::string Island = R"({"name": "island", "rcon": "127.0.0.1:1", "passwordFile": "p"})";

INSTANTIATE_TEST_SUITE_P(
    Files, BadClusterFiles,
    ::testing::Values(
        BadFile{"NotJson", "{\"servers\": [,]}",
                "c.json:1:14: error: [json.exception.parse_error.101] parse error at line 1, "
                "column 14: syntax error while parsing value - unexpected ','; expected '[', '{', "
                "or a literal"},
        BadFile{"TextAfterTheValue", "{\"servers\": [" + Island + "]} and more",
                "c.json:1:79: error: text after the cluster's JSON value"},
        BadFile{"NoObject", "[]",
                "c.json:1:1: error: a cluster file holds one object: {\"servers\": [...]}"},
        BadFile{"NoServers", "{\"$schema\": \"x\"}",
                "c.json:1:1: error: a cluster file lists its servers: {\"servers\": [{\"name\": "
                "..., \"rcon\": ...}, ...]}"},
        BadFile{"UnknownKeys", "{\"servers\": [" + Island + "],\n \"extra\": 1}",
                "c.json:2:2: error: unknown key \"extra\""},
        BadFile{"AKeyGivenTwice",
                R"({"servers": [{"name": "a", "name": "b", "rcon": "h:1", "passwordEnv": "P"}]})",
                "c.json:1:28: error: the key \"name\" is given twice"},
        BadFile{"MissingFieldsAndNoPassword", R"({"servers": [{"serverDir": "x"}]})",
                "c.json:1:14: error: a server needs \"name\"\nc.json:1:14: error: a server needs "
                "\"rcon\"\nc.json:1:14: error: a server needs \"passwordFile\" or \"passwordEnv\" "
                "for its RCON password"},
        BadFile{"APasswordInTheFile",
                R"({"servers": [{"name": "a", "rcon": "h:1", "password": "open sesame"}]})",
                "c.json:1:14: error: a server needs \"passwordFile\" or \"passwordEnv\" for its "
                "RCON password\nc.json:1:43: error: a password is never written in the cluster "
                "file: give \"passwordFile\" or \"passwordEnv\""},
        BadFile{
            "BothPasswordSources",
            R"({"servers": [{"name": "a", "rcon": "h:1", "passwordFile": "f", "passwordEnv": "E"}]})",
            "c.json:1:64: error: give either \"passwordFile\" or \"passwordEnv\", not both"},
        BadFile{"BadAddressAndEnvironmentName",
                R"({"servers": [{"name": "a", "rcon": "[::1]", "passwordEnv": "2X"}]})",
                "c.json:1:36: error: \"[::1]\" is no RCON address: an IPv6 address in brackets "
                "must be followed by :PORT, as in [::1]:27020\nc.json:1:60: error: \"2X\" is no "
                "environment variable's name"},
        BadFile{"EmptyAndWrongTypes",
                R"({"servers": [{"name": "", "rcon": 27020, "passwordEnv": "P"}, 7]})",
                "c.json:1:23: error: \"name\" is a text that is not empty\nc.json:1:35: error: "
                "\"rcon\" is a text that is not empty\nc.json:1:63: error: a server is an object: "
                "{\"name\": ..., \"rcon\": ..., ...}"},
        BadFile{"ADuplicateName", "{\"servers\": [" + Island + ",\n" + Island + "]}",
                "c.json:2:10: error: the name \"island\" is given to another server too, at "
                "c.json:1:23"}),
    [](const auto& test) { return std::string(test.param.Name); });

// The cluster schema's patterns, which editors check with, take exactly what
// the tool takes.
TEST(ClusterSchema, ItsPatternsTakeWhatTheToolTakes)
{
  const nlohmann::ordered_json server = configtool::ClusterSchema()["$defs"]["server"];
  const std::regex address(server["properties"]["rcon"]["pattern"].get<std::string>());
  const std::string label63(63, 'a');
  const std::string name253 = label63 + "." + label63 + "." + label63 + "." + std::string(61, 'b');
  for (const std::string& text : std::vector<std::string>{"127.0.0.1:27020",
                                                          "10.0.0.255:1",
                                                          "ark.example.org:27020",
                                                          "localhost:65535",
                                                          "a_b.c-d:80",
                                                          "x:1",
                                                          "1e3:1",
                                                          "host:00080",
                                                          label63 + ":1",
                                                          name253 + ":1",
                                                          "[::1]:27020",
                                                          "[::]:1",
                                                          "[2001:db8::1]:27015",
                                                          "[fe80::1%eth0]:27020",
                                                          "[::ffff:192.0.2.1]:1",
                                                          "[1:2:3:4:5:6:7:8]:9",
                                                          "[1:2:3:4:5:6:1.2.3.4]:9",
                                                          "[1::]:1",
                                                          "[1:2:3:4:5:6:7::]:1",
                                                          "[::2:3:4:5:6:7:8]:1",
                                                          "127.0.0.1",
                                                          "127.0.0.1:",
                                                          "127.0.0.1:0",
                                                          "127.0.0.1:00000",
                                                          "127.0.0.1:65536",
                                                          "127.0.0.1:123456",
                                                          "host:+80",
                                                          "256.1.1.1:1",
                                                          "1.2.3:1",
                                                          "01.2.3.4:1",
                                                          "123:1",
                                                          ":27020",
                                                          "-bad.example:1",
                                                          "bad-.example:1",
                                                          "a..b:1",
                                                          "a.:1",
                                                          "ex ample:1",
                                                          "::1:27020",
                                                          "[::1]",
                                                          "[::1]27020",
                                                          "[:::1]:1",
                                                          "[1:2:3:4:5:6:7:8:9]:1",
                                                          "[1:2:3:4:5:6:7]:1",
                                                          "[g::1]:1",
                                                          "[1.2.3.4]:1",
                                                          "[::1]:0",
                                                          "[1::2::3]:1",
                                                          std::string(64, 'a') + ":1",
                                                          name253 + "b:1"})
  {
    std::string why;
    EXPECT_EQ(std::regex_search(text, address), rcon::ParseServerAddress(text, why).has_value())
        << text << " (" << why << ")";
  }
  const std::regex variable(server["properties"]["passwordEnv"]["pattern"].get<std::string>());
  for (const std::string& name :
       std::vector<std::string>{"PW", "_pw", "ISLAND_RCON_PASSWORD_2", "2X", "A-B", "A B", "é"})
  {
    const bool taken = !ErrorText<ClusterError>(
        [&]
        {
          configtool::ReadClusterText(
              R"({"servers": [{"name": "a", "rcon": "h:1", "passwordEnv": ")" + name + R"("}]})",
              "c.json");
        });
    EXPECT_EQ(std::regex_search(name, variable), taken) << name;
  }
}

TEST(ClusterFile, ServersAreSelectedByNameInTheFilesOrder)
{
  const configtool::Cluster cluster = configtool::ReadClusterText(
      R"({"servers": [{"name": "a", "rcon": "h:1", "passwordEnv": "P"},
                      {"name": "b", "rcon": "h:2", "passwordEnv": "P"},
                      {"name": "c", "rcon": "h:3", "passwordEnv": "P"}]})",
      "c.json");
  const auto selected = configtool::SelectServers(cluster, {"c", "a"});
  ASSERT_EQ(selected.size(), 2U);
  EXPECT_EQ(selected[0].Name, "a");
  EXPECT_EQ(selected[1].Name, "c");
  EXPECT_EQ(configtool::SelectServers(cluster, {}).size(), 3U);
  EXPECT_EQ(ErrorText<ClusterError>(
                [&] {
                  configtool::SelectServers(cluster, {"d", "bb"});
                }),
            "c.json has no server named \"d\" (its servers: a, b, c)\n"
            "c.json has no server named \"bb\"; did you mean \"b\"? (its servers: a, b, c)");
}

TEST(ClusterFile, APasswordThatCannotBeHadIsPlacedWhereTheFileNamesIt)
{
  testsupport::ServerDirectory folder;
  const fs::path file = fs::path(folder.Path()) / "cluster.json";
  WriteFile(fs::path(folder.Path()) / "good", "right\r\n");
  const configtool::Cluster cluster = configtool::ReadClusterText(
      "{\"servers\": [{\"name\": \"a\", \"rcon\": \"h:1\", \"passwordFile\": \"good\"},\n"
      "{\"name\": \"b\", \"rcon\": \"h:1\", \"passwordFile\": \"none\"},\n"
      "{\"name\": \"c\", \"rcon\": \"h:1\", \"passwordEnv\": \"ASHGROVE_TEST_UNSET_PASSWORD\"}]}",
      file);
  EXPECT_EQ(configtool::ServerPassword(cluster.Servers[0]), "right");
  const auto missing =
      ErrorText<ClusterError>([&] { configtool::ServerPassword(cluster.Servers[1]); });
  ASSERT_TRUE(missing);
  EXPECT_NE(missing->find("cluster.json:2:46: error: cannot read the RCON password file "),
            std::string::npos)
      << *missing;
  EXPECT_EQ(ErrorText<ClusterError>([&] { configtool::ServerPassword(cluster.Servers[2]); })
                .value_or("")
                .substr(missing->find("cluster.json")),
            "cluster.json:3:45: error: the environment variable ASHGROVE_TEST_UNSET_PASSWORD is "
            "not set (the password of \"c\")");
#if !defined(_WIN32)
  // Set to nothing, the variable gives a password that cannot be used.
  ::setenv("ASHGROVE_TEST_EMPTY_PASSWORD", "", 1);
  const configtool::Cluster empty = configtool::ReadClusterText(
      R"({"servers": [{"name": "d", "rcon": "h:1", "passwordEnv": "ASHGROVE_TEST_EMPTY_PASSWORD"}]})",
      file);
  EXPECT_EQ(ErrorText<ClusterError>([&] { configtool::ServerPassword(empty.Servers[0]); })
                .value_or("")
                .substr(missing->find("cluster.json")),
            "cluster.json:1:58: error: the RCON password is empty (the password of \"d\")");
  ::unsetenv("ASHGROVE_TEST_EMPTY_PASSWORD");
#endif
}

struct ArgumentCase
{
  std::vector<std::string> Words;
  std::string Error; // empty: parsed
};

TEST(ConfigToolArguments, ReloadAndDeployTakeWhatTheyNeed)
{
  const ArgumentCase cases[] = {
      {{"reload", "--rcon", "h:1", "--password-file", "p", "--timeout", "0.5", "--json"}, ""},
      {{"reload", "--cluster", "c.json", "--server", "a", "--server", "b"}, ""},
      {{"deploy", "f.json", "--cluster", "c.json", "--dry-run", "--strict", "--lock-timeout", "0"},
       ""},
      {{"schema", "--cluster"}, ""},
      {{"check", "-"}, ""},
      {{"--version"}, ""},
      {{"reload"}, "reload needs --rcon HOST:PORT or --cluster FILE"},
      {{"reload", "--rcon", "h:1", "--cluster", "c"}, "give either --rcon or --cluster, not both"},
      {{"reload", "--cluster", "c", "--password-file", "p"},
       "--password-file goes with --rcon; a cluster file names each server's password"},
      {{"reload", "--rcon", "h:1", "--server", "a"}, "--server goes with --cluster"},
      {{"reload", "--cluster", "c", "--timeout", "0"},
       "--timeout takes seconds, from 0.01 to 3600, not '0'"},
      {{"deploy", "f", "--cluster", "c", "--lock-timeout", "soon"},
       "--lock-timeout takes seconds, from 0 to 3600, not 'soon'"},
      {{"reload", "--cluster", "c", "--timeout", "1", "--timeout", "2"}, "--timeout given twice"},
      {{"check", "--strict", "--strict"}, "--strict given twice"},
      {{"reload", "--cluster"}, "--cluster needs a cluster file"},
      {{"reload", "--cluster", "c", "extra"}, "unexpected extra"},
      {{"deploy", "--cluster", "c"}, "deploy needs the settings file to deploy"},
      {{"deploy", "f", "g", "--cluster", "c"}, "more than one file: f and g"},
      {{"deploy", "f"}, "deploy needs --cluster FILE"},
      {{"check", "--dry-run"}, "unknown option --dry-run"},
      {{"check", "--stritc"}, "unknown option --stritc; did you mean --strict?"},
      {{"chekc", "f"}, "unknown command chekc; did you mean check?"},
      {{"deploy", "f", "--clustr", "c"}, "unknown option --clustr; did you mean --cluster?"},
      {{"--json", "check"}, "--json goes after the command: ashgrove-config check --json"},
      {{"--version", "now"}, "unexpected now"},
      {{"deploy", "f", "--cluster", "c", "--dry-run=false"}, "--dry-run takes no value"},
      {{"check", "--help=x"}, "--help takes no value"},
      {{"check", "--", "-a", "-b"}, "more than one file: -a and -b"},
      {{}, "no command"},
  };
  for (const ArgumentCase& c : cases)
  {
    const configtool::ParsedCommand parsed = configtool::ParseCommand(c.Words);
    EXPECT_EQ(parsed.Error.value_or(""), c.Error) << testing::PrintToString(c.Words);
  }
  // Help after a command, even an unfinished one, is help, and an error
  // says where the command's help is; a value stays a value.
  EXPECT_EQ(configtool::ParseCommand({"deploy", "--help"}).Value.Kind,
            configtool::CommandKind::Help);
  EXPECT_EQ(configtool::ParseCommand({"deploy", "--stritc"}).HelpCommand,
            "ashgrove-config deploy --help");
  EXPECT_EQ(configtool::ParseCommand({"reload", "--rcon", "-h"}).Value.Rcon, "-h");
  // One command: a file named like another is a file.
  EXPECT_EQ(configtool::ParseCommand({"check", "--strict", "version"}).Value.File, "version");
  EXPECT_EQ(configtool::ParseCommand({"check", "--", "-odd.json"}).Value.File, "-odd.json");
  const auto reload = configtool::ParseCommand(
      {"reload", "--cluster", "c.json", "--server", "b", "--server", "a", "--timeout", "1.5"});
  EXPECT_EQ(reload.Value.Servers, (std::vector<std::string>{"b", "a"}));
  EXPECT_EQ(reload.Value.TimeoutSeconds, 1.5);
  EXPECT_EQ(reload.Value.WaitOptions, (std::vector<std::string>{"--timeout", "1.5"}));
}

// What a server answers decides the outcome: the plugin's own texts only.
TEST(ClusterReload, AnswersAreClassifiedByThePluginsOwnTexts)
{
  struct Case
  {
    rcon::ExchangeOutcome Exchange;
    const char* Reply;
    configtool::ReloadOutcome Outcome;
  };
  using configtool::ReloadOutcome;
  using rcon::ExchangeOutcome;
  const Case cases[] = {
      {ExchangeOutcome::Answered, "Reloaded config", ReloadOutcome::Reloaded},
      {ExchangeOutcome::Answered, "Can't open config.json", ReloadOutcome::Refused},
      {ExchangeOutcome::Answered,
       "[json.exception.type_error.302] type must be boolean, but is string",
       ReloadOutcome::Refused},
      {ExchangeOutcome::Answered,
       "config.json is 2000000 bytes, more than the limit of 1048576 bytes",
       ReloadOutcome::Refused},
      {ExchangeOutcome::Answered,
       "wildCorpseDecayTime: 1e10 is out of range (-2147483648 to 2147483647)",
       ReloadOutcome::Refused},
      {ExchangeOutcome::Answered,
       "tamedDinosAffected: 1e10 is out of range (-2147483648 to 2147483647)",
       ReloadOutcome::Unexpected},
      {ExchangeOutcome::Answered, "config.json is big", ReloadOutcome::Unexpected},
      {ExchangeOutcome::Answered, "Unknown command: Ashgrove.Reload", ReloadOutcome::Unexpected},
      {ExchangeOutcome::Answered, "Reloaded config ", ReloadOutcome::Unexpected},
      {ExchangeOutcome::Unreachable, "", ReloadOutcome::Unreachable},
      {ExchangeOutcome::AuthFailed, "", ReloadOutcome::AuthFailed},
      {ExchangeOutcome::TimedOut, "", ReloadOutcome::TimedOut},
      {ExchangeOutcome::Unexpected, "", ReloadOutcome::Unexpected},
  };
  for (const Case& c : cases)
  {
    EXPECT_EQ(configtool::Classify({c.Exchange, c.Reply, "", 0ms}).Outcome, c.Outcome) << c.Reply;
  }
}

TEST(ClusterReport, StatusIsTheWorstOutcomeAndUnreachedWins)
{
  using configtool::DeployOutcome;
  using configtool::ReloadOutcome;
  const auto reload = [](std::vector<ReloadOutcome> outcomes)
  {
    std::vector<configtool::ReloadResult> results;
    for (const ReloadOutcome outcome : outcomes)
    {
      results.push_back({outcome, "", "", 0ms});
    }
    return configtool::ReloadStatus(results);
  };
  EXPECT_EQ(reload({ReloadOutcome::Reloaded, ReloadOutcome::Reloaded}), 0);
  EXPECT_EQ(reload({ReloadOutcome::Reloaded, ReloadOutcome::Refused}), 1);
  EXPECT_EQ(reload({ReloadOutcome::TimedOut, ReloadOutcome::Refused}), 3);
  EXPECT_EQ(reload({ReloadOutcome::Unexpected}), 3);
  const auto deploy = [](std::vector<DeployOutcome> outcomes)
  {
    std::vector<configtool::DeployResult> results;
    for (const DeployOutcome outcome : outcomes)
    {
      results.emplace_back().Outcome = outcome;
    }
    return configtool::DeployStatus(results);
  };
  EXPECT_EQ(deploy({DeployOutcome::Reloaded, DeployOutcome::Skipped, DeployOutcome::DryRun}), 0);
  EXPECT_EQ(deploy({DeployOutcome::Reloaded, DeployOutcome::RolledBack}), 1);
  EXPECT_EQ(deploy({DeployOutcome::NotDeployed}), 1);
  EXPECT_EQ(deploy({DeployOutcome::NotDeployed, DeployOutcome::DeployedNotReloaded}), 3);
}

// A line a server, each failure with the step that would help; on a
// terminal the outcome words are coloured and the columns stay.
TEST(ClusterReport, ALineAServerInColumnsThenASummary)
{
  const std::vector<configtool::ServerLabel> labels = {
      {"island", "127.0.0.1:27020", "the password in pw/island (passwordFile at c.json:2:7)"},
      {"ragnarok", "[::1]:27021", "the password in pw/ragnarok (passwordFile at c.json:3:7)"},
      {"hermit", "[::1]:27022", ""}};
  const std::vector<configtool::ReloadResult> results = {
      {configtool::ReloadOutcome::Reloaded, "Reloaded config", "", 12ms},
      {configtool::ReloadOutcome::AuthFailed, "", "wrong password", 3ms},
      {configtool::ReloadOutcome::Unexpected, "Unknown command: Ashgrove.Reload",
       "answered \"Unknown command: Ashgrove.Reload\"", 3ms}};
  EXPECT_EQ(
      configtool::ReloadText(labels, results, 1234ms),
      "island    127.0.0.1:27020  reloaded     in 12 ms\n"
      "ragnarok  [::1]:27021      auth-failed  wrong password; check the password in "
      "pw/ragnarok (passwordFile at c.json:3:7)\n"
      "hermit    [::1]:27022      unexpected   answered \"Unknown command: Ashgrove.Reload\"; "
      "is the plugin loaded on this server?\n"
      "3 servers in 1.23 s: 1 reloaded, 1 auth-failed, 1 unexpected\n");
  EXPECT_EQ(configtool::ReloadText({labels[0]}, {results[0]}, 12ms, true),
            "island  127.0.0.1:27020  \x1b[32mreloaded\x1b[0m  in 12 ms\n"
            "1 server in 0.01 s: 1 reloaded\n");
  EXPECT_EQ(configtool::ShellWord("plain-name_1.json"), "plain-name_1.json");
#if defined(_WIN32)
  EXPECT_EQ(configtool::ShellWord("C:\\ark\\The Island's"), "\"C:\\ark\\The Island's\"");
#else
  EXPECT_EQ(configtool::ShellWord("The Island's"), "'The Island'\\''s'");
#endif
}

// What a server answers reaches the terminal with its control characters
// written out, so that it cannot clear the screen or forge lines.
TEST(ClusterReport, AServersAnswerCannotDriveTheTerminal)
{
  const std::string text =
      configtool::ReloadText({{"island", "127.0.0.1:27020", ""}},
                             {{configtool::ReloadOutcome::Refused,
                               "\x1b[2J\x1b[31mall reloaded\r\nisland ok\x7f", "", 3ms}},
                             3ms);
  EXPECT_EQ(text, "island  127.0.0.1:27020  refused  \\x1B[2J\\x1B[31mall reloaded\\x0D\\x0Aisland "
                  "ok\\x7F\n1 server in 0.00 s: 1 refused\n");
}

TEST(ClusterReport, ADeployThatWroteNowhereSaysSo)
{
  using configtool::DeployOutcome;
  const auto text = [](std::vector<DeployOutcome> outcomes)
  {
    std::vector<configtool::ServerLabel> labels;
    std::vector<configtool::DeployResult> results;
    for (const DeployOutcome outcome : outcomes)
    {
      labels.push_back({"island", "127.0.0.1:27020", ""});
      results.emplace_back().Outcome = outcome;
    }
    return configtool::DeployText(labels, results, 5ms, "ashgrove-config reload");
  };
  const std::string nowhere = "nothing was deployed: no selected server has a serverDir";
  EXPECT_NE(text({DeployOutcome::Skipped, DeployOutcome::Skipped}).find(nowhere),
            std::string::npos);
  EXPECT_EQ(text({DeployOutcome::Skipped, DeployOutcome::DryRun}).find(nowhere), std::string::npos);
}

class DeployFolder : public ::testing::Test
{
protected:
  [[nodiscard]] fs::path Dir() const { return fs::path(server_.Path()); }
  testsupport::ServerDirectory server_;
};

TEST_F(DeployFolder, ChangesAreJudgedFromTheFileInPlace)
{
  configtool::DeployRequest request{R"({"wildDinosAffected": true})",
                                    Defaults({.wildDinosAffected = true})};
  server_.RemoveConfig();
  configtool::Changes changes = configtool::ChangesIn(Dir(), request);
  EXPECT_EQ(changes.Before, configtool::Changes::InPlace::Missing);
  EXPECT_EQ(changes.Settings.size(), SettingsTable.size());

  server_.WriteConfig(R"({"wildCorpseDecayTime": 90})");
  changes = configtool::ChangesIn(Dir(), request);
  EXPECT_EQ(changes.Before, configtool::Changes::InPlace::Loads);
  ASSERT_EQ(changes.Settings.size(), 2U);
  EXPECT_EQ(changes.Settings[0].Key, "wildDinosAffected");
  EXPECT_EQ(changes.Settings[0].Old, false);
  EXPECT_EQ(changes.Settings[0].New, true);
  EXPECT_EQ(changes.Settings[1].Key, "wildCorpseDecayTime");
  EXPECT_EQ(changes.Settings[1].Old, 90);
  EXPECT_EQ(changes.Settings[1].New, 300);

  server_.WriteConfig("{oops");
  changes = configtool::ChangesIn(Dir(), request);
  EXPECT_EQ(changes.Before, configtool::Changes::InPlace::Refused);
  EXPECT_NE(changes.Refusal.find("[json.exception.parse_error.101]"), std::string::npos);

  server_.WriteConfig(request.Bytes);
  changes = configtool::ChangesIn(Dir(), request);
  EXPECT_TRUE(changes.SameBytes);
  EXPECT_TRUE(changes.Settings.empty());
}

TEST_F(DeployFolder, AFileIsReplacedWholeAndAFaultLeavesItAsItWas)
{
  const fs::path file = server_.ConfigPath();
  server_.WriteConfig("old");
  Replace(file, "new");
  EXPECT_EQ(ReadFile(file), "new");
  configtool::KeepCopy(file, configtool::PreviousFile(Dir()));
  EXPECT_EQ(ReadFile(configtool::PreviousFile(Dir())), "new");

  // A folder that is a file: nothing can be created in it.
  const fs::path blocked = Dir() / "blocked";
  WriteFile(blocked, "a file");
  auto error = ErrorText<std::system_error>([&] { Replace(blocked / "config.json", "x"); });
  ASSERT_TRUE(error);
  EXPECT_NE(error->find("cannot create"), std::string::npos) << *error;
  EXPECT_EQ(ReadFile(blocked), "a file");

  // A target that exists and cannot be replaced: the new bytes are written,
  // then the rename over it fails.
  const fs::path folder = Dir() / "taken";
  WriteFile(folder / "inside", "kept");
  error = ErrorText<std::system_error>([&] { Replace(folder, "x"); });
  ASSERT_TRUE(error);
  EXPECT_NE(error->find("cannot replace"), std::string::npos) << *error;
  EXPECT_EQ(ReadFile(folder / "inside"), "kept");
  ExpectNoTemporaryFiles(Dir());
  ExpectNoTemporaryFiles(file.parent_path());
}

// What is deployed is the file byte for byte, line endings and all, as the
// checker saw it; deployed again, it is found in place.
TEST_F(DeployFolder, TheFileGoesOutByteForByte)
{
  server_.RemoveConfig();
  const fs::path work = Dir() / "operator";
  const std::string bytes = "{\r\n  \"wildCorpseDecayTime\": 60\r\n}\r\n";
  WriteFile(work / "new.json", bytes);
  WriteFile(work / "password", "x");
  WriteFile(work / "cluster.json",
            R"({"servers": [{"name": "island", "rcon": "127.0.0.1:1", "passwordFile": "password",)"
            R"( "serverDir": ".."}]})");
  configtool::Command command;
  command.Kind = configtool::CommandKind::Deploy;
  command.File = work / "new.json";
  command.Cluster = work / "cluster.json";
  command.TimeoutSeconds = 2;
  std::ostringstream out;
  std::ostringstream errors;
  EXPECT_EQ(configtool::RunDeploy(command, out, errors), 3) << out.str() << errors.str();
  EXPECT_EQ(ReadFile(server_.ConfigPath()), bytes);

  // The dry run finds the same bytes in place, and a server that would not
  // be reached, as the deploy did.
  command.DryRun = true;
  out.str("");
  EXPECT_EQ(configtool::RunDeploy(command, out, errors), 3) << errors.str();
  EXPECT_NE(out.str().find("    unchanged: the same bytes are in place\n"), std::string::npos)
      << out.str();
}

// A rollback gives config.json back as a file of its own, so that the next
// deploy keeps the right file aside and leaves nothing behind.
TEST_F(DeployFolder, ARollbackAndTheNextDeployKeepTheFilesApart)
{
  const fs::path file = server_.ConfigPath();
  const fs::path previous = configtool::PreviousFile(Dir());
  server_.WriteConfig("first");
  configtool::KeepCopy(file, previous);
  Replace(file, "second");
  configtool::CopyOver(previous, file); // the rollback
  EXPECT_EQ(ReadFile(file), "first");
  EXPECT_FALSE(fs::equivalent(file, previous));
  configtool::KeepCopy(file, previous); // the next deploy
  Replace(file, "third");
  EXPECT_EQ(ReadFile(previous), "first");
  EXPECT_EQ(ReadFile(file), "third");
  configtool::KeepCopy(previous, previous); // the very file already: nothing to do
  ExpectNoTemporaryFiles(file.parent_path());
}

// A file staged but never put in place leaves the target as it was and
// nothing beside it.
TEST_F(DeployFolder, AStagedFileNotCommittedLeavesNoTrace)
{
  server_.WriteConfig("old");
  {
    configtool::StagedFile staged(server_.ConfigPath(), "new");
  }
  EXPECT_EQ(ReadFile(server_.ConfigPath()), "old");
  EXPECT_EQ(std::distance(fs::directory_iterator(server_.ConfigPath().parent_path()),
                          fs::directory_iterator()),
            1);
}

#if !defined(_WIN32)
// Two servers that share one file through a link: its changes are judged for
// each before anything is written, and it is written once.
TEST_F(DeployFolder, ServersSharingAFileGetItWrittenOnce)
{
  testsupport::ServerDirectory second;
  server_.WriteConfig(R"({"wildCorpseDecayTime": 90})");
  fs::remove(second.ConfigPath());
  fs::create_symlink(server_.ConfigPath(), second.ConfigPath());
  configtool::ClusterServer one;
  one.Name = "one";
  one.Address = {"127.0.0.1", "1"};
  one.ServerDir = Dir();
  configtool::ClusterServer two = one;
  two.Name = "two";
  two.ServerDir = fs::path(second.Path());
  const configtool::DeployRequest request{R"({"wildCorpseDecayTime": 60})",
                                          Defaults({.wildCorpseDecayTime = 60}), false, 2000ms};
  const auto results = configtool::Deploy({one, two}, {"x", "x"}, request);
  ASSERT_EQ(results.size(), 2U);
  for (const configtool::DeployResult& result : results)
  {
    EXPECT_EQ(result.Outcome, configtool::DeployOutcome::DeployedNotReloaded);
    ASSERT_EQ(result.What.Settings.size(), 1U);
    EXPECT_EQ(result.What.Settings[0].Old, 90);
  }
  EXPECT_TRUE(fs::is_symlink(second.ConfigPath()));
  EXPECT_EQ(ReadFile(second.ConfigPath()), request.Bytes);
  EXPECT_EQ(ReadFile(configtool::PreviousFile(Dir())), R"({"wildCorpseDecayTime": 90})");
}

TEST_F(DeployFolder, AReplacedFileKeepsItsPermissionsAndALinkStaysALink)
{
  const fs::path file = server_.ConfigPath();
  server_.WriteConfig("old");
  ::chmod(file.c_str(), 0640);
  Replace(file, "new");
  struct stat status = {};
  ASSERT_EQ(::stat(file.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 07777, 0640U);

  // The file kept aside is the very file, owner and permissions and all.
  const fs::path previous = configtool::PreviousFile(Dir());
  configtool::KeepCopy(file, previous);
  EXPECT_TRUE(fs::equivalent(file, previous));
  Replace(file, "newer");
  EXPECT_EQ(ReadFile(previous), "new");

  const fs::path shared = Dir() / "shared.json";
  WriteFile(shared, "shared old");
  fs::remove(file);
  fs::create_symlink(shared, file);
  Replace(file, "shared new");
  EXPECT_TRUE(fs::is_symlink(file));
  EXPECT_EQ(ReadFile(shared), "shared new");
}

// A pipe where the file should be is judged without being read: reading it
// would never end.
TEST_F(DeployFolder, APipeInPlaceIsNeverRead)
{
  server_.RemoveConfig();
  ASSERT_EQ(::mkfifo(server_.ConfigPath().c_str(), 0644), 0);
  const configtool::DeployRequest request{"{}", Defaults({})};
  const configtool::Changes changes = configtool::ChangesIn(Dir(), request);
  EXPECT_EQ(changes.Before, configtool::Changes::InPlace::Refused);
  EXPECT_FALSE(changes.SameBytes);
}

// Someone who may write the folder but may not give a file away: the file
// in place stays, rather than one the server might not be able to read.
TEST_F(DeployFolder, AFileThatCannotKeepItsOwnerIsNotDeployed)
{
  const fs::path file = server_.ConfigPath();
  const std::string before = R"({"wildCorpseDecayTime": 90})";
  server_.WriteConfig(before);
  for (fs::path folder = file.parent_path(); folder != Dir().parent_path();
       folder = folder.parent_path())
  {
    fs::permissions(folder, fs::perms::all);
  }
  configtool::ClusterServer server;
  server.Name = "island";
  server.Address = {"127.0.0.1", "1"};
  server.ServerDir = Dir();
  const configtool::DeployRequest request{R"({"wildCorpseDecayTime": 60})",
                                          Defaults({.wildCorpseDecayTime = 60}), false, 2000ms};

  const std::optional<std::string> said = testsupport::AsNobody(
      [&]
      {
        const auto results = configtool::Deploy({server}, {"x"}, request);
        return std::string(configtool::OutcomeWord(results[0].Outcome)) + " " + results[0].Error;
      });
  if (!said)
  {
    GTEST_SKIP() << "acting as another user needs root";
  }
  EXPECT_EQ(said->rfind("not-deployed cannot give the new file the owner 0 and group 0 of ", 0), 0U)
      << *said;
  EXPECT_EQ(ReadFile(file), before);
  struct stat status_after = {};
  ASSERT_EQ(::stat(file.c_str(), &status_after), 0);
  EXPECT_EQ(status_after.st_uid, 0U);
  EXPECT_FALSE(fs::exists(configtool::PreviousFile(Dir())));
  ExpectNoTemporaryFiles(file.parent_path());
}
#endif
} // namespace
