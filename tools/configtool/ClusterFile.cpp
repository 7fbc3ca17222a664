#include "configtool/ClusterFile.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>

#include <fmt/format.h>
#include <fmt/ranges.h>

#include "configtool/JsonIndex.h"
#include "configtool/Schema.h"
#include "configtool/Text.h"
#include "rcon/Address.h"
#include "rcon/Password.h"
#include "settings/ConfigFile.h"
#include "settings/JsonPlaces.h"
#include "settings/SettingsLocation.h"

namespace configtool
{
namespace
{
namespace fs = std::filesystem;
using nlohmann::json;
using nlohmann::ordered_json;

// The keys of one server, each a string; the reader and the schema walk
// this list.
struct ServerField
{
  const char* Key;
  bool Required;
  const char* Meaning;
};

constexpr std::array<ServerField, 5> ServerFields = {{
    {"name", true,
     "The server's name in the tool's output and for --server; unique within the file."},
    {"rcon", true,
     "The server's RCON address, HOST:PORT: an IPv4 address (127.0.0.1:27020), an IPv6 address "
     "in brackets ([::1]:27020) or a host name."},
    {"passwordFile", false,
     "A file holding the RCON password (one trailing line ending is dropped); a relative path is "
     "taken from the cluster file's folder. Give this or passwordEnv."},
    {"passwordEnv", false,
     "The name of an environment variable holding the RCON password. Give this or passwordFile."},
    {"serverDir", false,
     "The server's folder on this machine, below which the plugin reads "
     "{config-file}; a relative path is taken from the cluster file's "
     "folder. Without it the server is reloaded, but deploy skips it."},
}};

constexpr const char* ServersKey = "servers";

bool IsEnvironmentName(const std::string& name)
{
  return !name.empty() &&
         (std::isalpha(static_cast<unsigned char>(name[0])) != 0 || name[0] == '_') &&
         std::all_of(name.begin(), name.end(),
                     [](unsigned char c) { return std::isalnum(c) != 0 || c == '_'; });
}

bool HasControlCharacters(const std::string& text)
{
  return std::any_of(text.begin(), text.end(),
                     [](unsigned char c) { return c < 0x20 || c == 0x7F; });
}

// The faults of one file, each placed, in file order.
class Faults
{
public:
  Faults(const std::string& bytes, std::string shown) : bytes_(bytes), shown_(std::move(shown)) {}

  [[nodiscard]] FilePlace Place(std::size_t at) const { return Placed(PositionOf(bytes_, at)); }

  void Add(std::size_t at, const std::string& message)
  {
    list_.emplace(at, ClusterProblem{Place(at), message});
  }

  // A fault found once the parser had read `count` bytes.
  void AddAfterReading(std::size_t count, const std::string& message)
  {
    list_.emplace(count, ClusterProblem{Placed(PositionAfterReading(bytes_, count)), message});
  }

  [[nodiscard]] bool Any() const { return !list_.empty(); }

  [[nodiscard]] std::vector<ClusterProblem> InFileOrder() const
  {
    std::vector<ClusterProblem> problems;
    for (const auto& [at, problem] : list_)
    {
      problems.push_back(problem);
    }
    return problems;
  }

  [[noreturn]] void Throw() const { throw ClusterError(InFileOrder()); }

private:
  [[nodiscard]] FilePlace Placed(TextPosition position) const
  {
    return {shown_, static_cast<int>(position.Line), static_cast<int>(position.Column)};
  }

  const std::string& bytes_;
  std::string shown_;
  std::multimap<std::size_t, ClusterProblem> list_;
};

// Checks the members of one object against the keys it may have; `taken`
// says whether a key not among them was dealt with already.
template <class Taken>
void CheckKeys(const json& object, const std::string& path, const JsonIndex& index, Faults& faults,
               const std::vector<std::string>& known, Taken taken)
{
  for (const auto& [key, value] : object.items())
  {
    static_cast<void>(value);
    const JsonIndex::Spot* spot = index.Find(MemberPath(path, key));
    if (spot == nullptr || std::find(known.begin(), known.end(), key) != known.end() || taken(key))
    {
      continue;
    }
    std::string message = "unknown key " + Quote(key);
    if (const auto nearest = Nearest(key, known))
    {
      message += "; did you mean " + Quote(*nearest) + "?";
    }
    faults.Add(spot->KeyAt.value_or(spot->ValueAt), message);
  }
}

std::vector<std::string> ServerKeys()
{
  std::vector<std::string> keys;
  for (const ServerField& field : ServerFields)
  {
    keys.emplace_back(field.Key);
  }
  return keys;
}

class ServerReader
{
public:
  ServerReader(const json& server, std::string path, const JsonIndex& index, Faults& faults,
               const fs::path& folder)
      : server_(server), path_(std::move(path)), index_(index), faults_(faults), folder_(folder)
  {
  }

  std::optional<ClusterServer> Read()
  {
    const JsonIndex::Spot* spot = index_.Find(path_);
    const std::size_t at = spot != nullptr ? spot->ValueAt : 0;
    if (!server_.is_object())
    {
      faults_.Add(at, "a server is an object: {\"name\": ..., \"rcon\": ..., ...}");
      return std::nullopt;
    }
    CheckServerKeys();
    ClusterServer result;
    const auto name = Text("name", at);
    const auto rcon = Text("rcon", at);
    if (name)
    {
      result.Name = *name;
      if (HasControlCharacters(*name))
      {
        faults_.Add(ValueAt("name"), "a name holds no control characters");
      }
    }
    if (rcon)
    {
      ReadAddress(*rcon, result);
    }
    ReadPasswordSource(at, result);
    if (const auto server_dir = Text("serverDir", at))
    {
      result.ServerDir = folder_ / PathFromUtf8(*server_dir);
      result.ServerDirAt = faults_.Place(ValueAt("serverDir"));
    }
    if (!name || !rcon)
    {
      return std::nullopt;
    }
    return result;
  }

private:
  // A key the file may not have; a password is a fault of its own.
  void CheckServerKeys()
  {
    CheckKeys(server_, path_, index_, faults_, ServerKeys(),
              [&](const std::string& key)
              {
                if (key != "password")
                {
                  return false;
                }
                faults_.Add(KeyAt(key), "a password is never written in the cluster file: give "
                                        "\"passwordFile\" or \"passwordEnv\"");
                return true;
              });
  }

  void ReadAddress(const std::string& text, ClusterServer& result)
  {
    std::string why;
    if (const auto address = rcon::ParseServerAddress(text, why))
    {
      result.Address = *address;
      return;
    }
    faults_.Add(ValueAt("rcon"), fmt::format("{} is no RCON address: {}", Quote(text), why));
  }

  // Exactly one of passwordFile and passwordEnv; `at` is the server's.
  void ReadPasswordSource(std::size_t at, ClusterServer& result)
  {
    const auto password_file = Text("passwordFile", at);
    const auto password_env = Text("passwordEnv", at);
    if (password_file && password_env)
    {
      faults_.Add(KeyAt("passwordEnv"),
                  "give either \"passwordFile\" or \"passwordEnv\", not both");
    }
    else if (!password_file && !password_env)
    {
      faults_.Add(at, "a server needs \"passwordFile\" or \"passwordEnv\" for its RCON password");
    }
    if (password_file)
    {
      result.PasswordFile = folder_ / PathFromUtf8(*password_file);
      result.PasswordSourceAt = faults_.Place(ValueAt("passwordFile"));
    }
    if (password_env)
    {
      if (!IsEnvironmentName(*password_env))
      {
        faults_.Add(ValueAt("passwordEnv"),
                    fmt::format("{} is no environment variable's name", Quote(*password_env)));
      }
      result.PasswordEnv = *password_env;
      result.PasswordSourceAt = faults_.Place(ValueAt("passwordEnv"));
    }
  }

  [[nodiscard]] std::size_t KeyAt(const std::string& key) const
  {
    const JsonIndex::Spot* spot = index_.Find(MemberPath(path_, key));
    return spot != nullptr ? spot->KeyAt.value_or(spot->ValueAt) : 0;
  }

  [[nodiscard]] std::size_t ValueAt(const std::string& key) const
  {
    const JsonIndex::Spot* spot = index_.Find(MemberPath(path_, key));
    return spot != nullptr ? spot->ValueAt : 0;
  }

  // A field's text: a string that is not empty. A required field that is
  // missing is a fault at the server's object.
  std::optional<std::string> Text(const char* key, std::size_t object_at)
  {
    const auto found = server_.find(key);
    const bool required = std::any_of(ServerFields.begin(), ServerFields.end(),
                                      [&](const ServerField& field) {
                                        return field.Required && std::string_view(key) == field.Key;
                                      });
    if (found == server_.end())
    {
      if (required)
      {
        faults_.Add(object_at, fmt::format("a server needs {}", Quote(key)));
      }
      return std::nullopt;
    }
    if (!found->is_string() || found->get<std::string>().empty())
    {
      faults_.Add(ValueAt(key), fmt::format("{} is a text that is not empty", Quote(key)));
      return std::nullopt;
    }
    return found->get<std::string>();
  }

  const json& server_;
  std::string path_;
  const JsonIndex& index_;
  Faults& faults_;
  const fs::path& folder_;
};

void CheckNamesAreUnique(const std::vector<ClusterServer>& servers,
                         const std::vector<std::string>& paths, const JsonIndex& index,
                         Faults& faults)
{
  std::map<std::string, std::size_t> first;
  for (std::size_t i = 0; i < servers.size(); ++i)
  {
    const JsonIndex::Spot* spot = index.Find(MemberPath(paths[i], "name"));
    const std::size_t at = spot != nullptr ? spot->ValueAt : 0;
    const auto [earlier, fresh] = first.emplace(servers[i].Name, at);
    if (!fresh)
    {
      faults.Add(at, fmt::format("the name {} is given to another server too, at {}",
                                 Quote(servers[i].Name), PlaceText(faults.Place(earlier->second))));
    }
  }
}

// The RCON addresses the client takes, as a pattern for editors: an IPv6
// address in brackets (RFC 3986's grammar, with a zone), an IPv4 address in
// dotted decimal without leading zeros, or a host name (labels of 1 to 63
// letters, digits, '-' or '_' that neither begin nor end with '-', 253 in
// all, and not all digits and dots); then a port of up to five digits from
// 1 to 65535.
std::string AddressPattern()
{
  const std::string h16 = "[0-9A-Fa-f]{1,4}";
  const std::string octet = "(25[0-5]|2[0-4][0-9]|1[0-9]{2}|[1-9]?[0-9])";
  const std::string ipv4 = octet + "(\\." + octet + "){3}";
  const std::string ls32 = "(" + h16 + ":" + h16 + "|" + ipv4 + ")";
  const auto groups = [&](int count) { return "(" + h16 + ":){" + std::to_string(count) + "}"; };
  const auto before = [&](int most) {
    return "(" + (most > 0 ? "(" + h16 + ":){0," + std::to_string(most) + "}" : "") + h16 + ")?::";
  };
  const std::string ipv6 = "(" + groups(6) + ls32 + "|::" + groups(5) + ls32 + "|" + before(0) +
                           groups(4) + ls32 + "|" + before(1) + groups(3) + ls32 + "|" + before(2) +
                           groups(2) + ls32 + "|" + before(3) + h16 + ":" + ls32 + "|" + before(4) +
                           ls32 + "|" + before(5) + h16 + "|" + before(6) + ")";
  const std::string label = "[A-Za-z0-9_]([A-Za-z0-9_-]{0,61}[A-Za-z0-9_])?";
  const std::string name = "(?=[^:]{1,253}:)(?![0-9.]*:)" + label + "(\\." + label + ")*";
  const std::string port = "(?=[0-9]{1,5}$)0*([1-9][0-9]{0,3}|[1-5][0-9]{4}|6[0-4][0-9]{3}|"
                           "65[0-4][0-9]{2}|655[0-2][0-9]|6553[0-5])";
  return "^(\\[" + ipv6 + "(%[^\\]]+)?\\]|" + ipv4 + "|" + name + "):" + port + "$";
}

ordered_json ServerSchema()
{
  ordered_json properties = ordered_json::object();
  ordered_json required = ordered_json::array();
  for (const ServerField& field : ServerFields)
  {
    // The settings file's place below a server folder is the plugin's to say.
    const std::string meaning = WithMark(field.Meaning, "{config-file}", ConfigFileBelowServer + 1);
    properties[field.Key] = {{"description", meaning}, {"type", "string"}, {"minLength", 1}};
    if (field.Required)
    {
      required.push_back(field.Key);
    }
  }
  properties["rcon"]["pattern"] = AddressPattern();
  properties["passwordEnv"]["pattern"] = "^[A-Za-z_][A-Za-z0-9_]*$";
  return {{"type", "object"},
          {"properties", properties},
          {"required", required},
          {"additionalProperties", false},
          {"oneOf", {{{"required", {"passwordFile"}}}, {{"required", {"passwordEnv"}}}}}};
}
// The document, parsed; a file that is no JSON, or whose JSON is not one
// object, is thrown at once: nothing more can be read of it.
json ParsedDocument(const std::string& bytes, JsonIndex& index, Faults& faults)
{
  json document;
  try
  {
    document = ParseFirstValue(bytes, index);
  }
  catch (const json::exception& error)
  {
    faults.AddAfterReading(index.ErrorAt().value_or(0), error.what());
    faults.Throw();
  }
  if (index.TrailingAt())
  {
    faults.Add(*index.TrailingAt(), "text after the cluster's JSON value");
  }
  for (const JsonIndex::Repeated& repeated : index.RepeatedKeys())
  {
    faults.Add(repeated.KeyAt, fmt::format("the key {} is given twice", Quote(repeated.Name)));
  }
  if (!document.is_object())
  {
    const JsonIndex::Spot* root = index.Find("");
    faults.Add(root != nullptr ? root->ValueAt : 0,
               "a cluster file holds one object: {\"servers\": [...]}");
    faults.Throw();
  }
  return document;
}

// The top-level keys; the list of servers, which a file cannot do without.
const json& ServerList(const json& document, const JsonIndex& index, Faults& faults)
{
  CheckKeys(document, "", index, faults, {ServersKey, std::string(SchemaKey)},
            [](const std::string&) { return false; });
  if (const auto schema = document.find(SchemaKey);
      schema != document.end() && !schema->is_string())
  {
    faults.Add(index.Find(MemberPath("", std::string(SchemaKey)))->ValueAt,
               fmt::format("{} is a text: where an editor finds the schema",
                           Quote(std::string(SchemaKey))));
  }
  const auto servers = document.find(ServersKey);
  if (servers == document.end() || !servers->is_array() || servers->empty())
  {
    const JsonIndex::Spot* spot = index.Find(MemberPath("", ServersKey));
    const JsonIndex::Spot* root = index.Find("");
    faults.Add(spot != nullptr ? spot->ValueAt : (root != nullptr ? root->ValueAt : 0),
               "a cluster file lists its servers: {\"servers\": [{\"name\": ..., \"rcon\": "
               "...}, ...]}");
    faults.Throw();
  }
  return *servers;
}

// Reads what can be read; the faults found on the way go to `faults`, and
// only those that leave nothing to read are thrown.
Cluster ReadInto(const std::string& bytes, const fs::path& path, Faults& faults)
{
  Cluster cluster;
  cluster.Shown = Utf8(path);
  // Nothing is looked up below a server's own fields: /servers/N/KEY.
  JsonIndex index(3);
  const json document = ParsedDocument(bytes, index, faults);
  const json& servers = ServerList(document, index, faults);
  std::vector<std::string> paths;
  for (std::size_t i = 0; i < servers.size(); ++i)
  {
    const std::string server_path = MemberPath("", ServersKey) + "/" + std::to_string(i);
    if (auto server =
            ServerReader(servers[i], server_path, index, faults, path.parent_path()).Read())
    {
      cluster.Servers.push_back(std::move(*server));
      paths.push_back(server_path);
    }
  }
  CheckNamesAreUnique(cluster.Servers, paths, index, faults);
  return cluster;
}

std::string ReadClusterBytes(const fs::path& path)
{
  const auto unreadable = [&](const std::string& why)
  { return ClusterError(fmt::format("cannot read the cluster file {}: {}", Utf8(path), why)); };
  std::error_code error;
  const auto status = fs::status(path, error);
  if (const auto why = NoFileReason(status, error))
  {
    throw unreadable(*why);
  }
  // A cluster file lists a few servers; anything this large is a mistake.
  if (fs::file_size(path, error) > ConfigFileLimit)
  {
    throw unreadable(fmt::format("it is larger than {} MiB", ConfigFileLimit >> 20U));
  }
  std::ifstream file(path, std::ios::binary);
  std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  if (!file.is_open() || file.bad())
  {
    throw unreadable(std::strerror(errno));
  }
  return bytes;
}

std::string JoinedText(const std::vector<ClusterProblem>& problems)
{
  std::string text;
  for (const ClusterProblem& problem : problems)
  {
    text += (text.empty() ? "" : "\n") + ProblemText(problem);
  }
  return text;
}
} // namespace

std::string PlaceText(const FilePlace& place)
{
  return fmt::format("{}:{}:{}", place.File, place.Line, place.Column);
}

std::string ProblemText(const ClusterProblem& problem)
{
  return problem.At ? PlaceText(*problem.At) + ": error: " + problem.Message : problem.Message;
}

ClusterError::ClusterError(std::vector<ClusterProblem> problems)
    : std::runtime_error(JoinedText(problems)), problems_(std::move(problems))
{
}

Cluster ReadClusterText(const std::string& bytes, const fs::path& path)
{
  Faults faults(bytes, Utf8(path));
  Cluster cluster = ReadInto(bytes, path, faults);
  if (faults.Any())
  {
    faults.Throw();
  }
  return cluster;
}

Cluster ReadClusterFile(const fs::path& path)
{
  return ReadClusterText(ReadClusterBytes(path), path);
}

ClusterReading ReadClusterAsFarAsItGoes(const fs::path& path)
{
  const std::string bytes = ReadClusterBytes(path);
  Faults faults(bytes, Utf8(path));
  ClusterReading reading;
  reading.Value = ReadInto(bytes, path, faults);
  reading.Problems = faults.InFileOrder();
  return reading;
}

std::vector<ClusterServer> SelectServers(const Cluster& cluster,
                                         const std::vector<std::string>& names)
{
  if (names.empty())
  {
    return cluster.Servers;
  }
  std::vector<std::string> known;
  std::vector<std::string> shown;
  for (const ClusterServer& server : cluster.Servers)
  {
    known.push_back(server.Name);
    shown.push_back(Printable(server.Name));
  }
  std::vector<ClusterProblem> problems;
  for (const std::string& name : names)
  {
    if (std::find(known.begin(), known.end(), name) != known.end())
    {
      continue;
    }
    std::string message = fmt::format("{} has no server named {}", cluster.Shown, Quote(name));
    if (const auto nearest = Nearest(name, known))
    {
      message += "; did you mean " + Quote(*nearest) + "?";
    }
    problems.push_back(
        {std::nullopt, fmt::format("{} (its servers: {})", message, fmt::join(shown, ", "))});
  }
  if (!problems.empty())
  {
    throw ClusterError(problems);
  }
  std::vector<ClusterServer> selected;
  for (const ClusterServer& server : cluster.Servers)
  {
    if (std::find(names.begin(), names.end(), server.Name) != names.end())
    {
      selected.push_back(server);
    }
  }
  return selected;
}

std::string ServerPassword(const ClusterServer& server)
{
  try
  {
    auto password =
        rcon::ResolvePassword({.File = server.PasswordFile, .Variable = server.PasswordEnv});
    if (!password)
    {
      throw rcon::PasswordError("the environment variable " + server.PasswordEnv.value_or("") +
                                " is not set");
    }
    return std::move(*password);
  }
  catch (const rcon::PasswordError& error)
  {
    throw ClusterError({{server.PasswordSourceAt, fmt::format("{} (the password of {})",
                                                              error.what(), Quote(server.Name))}});
  }
}

ClusterSelection SelectFromClusterFile(const fs::path& path, const std::vector<std::string>& names,
                                       bool (*needs_password)(const ClusterServer&))
{
  ClusterReading reading = ReadClusterAsFarAsItGoes(path);
  ClusterSelection selection{std::move(reading.Value), {}, {}};
  std::vector<ClusterProblem> problems = std::move(reading.Problems);
  const auto take = [&problems](const ClusterError& error)
  { problems.insert(problems.end(), error.Problems().begin(), error.Problems().end()); };
  try
  {
    selection.Servers = SelectServers(selection.File, names);
  }
  catch (const ClusterError& error)
  {
    take(error);
  }
  for (const ClusterServer& server : selection.Servers)
  {
    selection.Passwords.emplace_back();
    try
    {
      // A server without a source is a problem of the file's already.
      if (needs_password(server) && (server.PasswordFile || server.PasswordEnv))
      {
        selection.Passwords.back() = ServerPassword(server);
      }
    }
    catch (const ClusterError& error)
    {
      take(error);
    }
  }
  if (!problems.empty())
  {
    // In the file's order, then those about the file as a whole.
    std::stable_sort(problems.begin(), problems.end(),
                     [](const ClusterProblem& a, const ClusterProblem& b)
                     {
                       const auto key = [](const ClusterProblem& p) {
                         return p.At ? std::pair(p.At->Line, p.At->Column) : std::pair(1 << 30, 0);
                       };
                       return key(a) < key(b);
                     });
    throw ClusterError(std::move(problems));
  }
  return selection;
}

std::string PasswordSourceText(const ClusterServer& server)
{
  const std::string at = PlaceText(server.PasswordSourceAt);
  if (server.PasswordFile)
  {
    return "the password in " + Utf8(*server.PasswordFile) + " (passwordFile at " + at + ")";
  }
  return "the password in the variable " + server.PasswordEnv.value_or("") + " (passwordEnv at " +
         at + ")";
}

ordered_json ClusterSchema()
{
  return {
      {"$schema", "https://json-schema.org/draft/2020-12/schema"},
      {"title", "Ashgrove cluster (cluster.json)"},
      {"description",
       "The game servers ashgrove-config reloads, and deploys a settings file to, at once. Read "
       "strictly: an unknown key, a key given twice, a duplicate name, a missing field or a bad "
       "address is an error, and then nothing is sent. Passwords are never written here: each "
       "server names a file or an environment variable that holds its RCON password."},
      {"type", "object"},
      {"properties",
       {{"$schema",
         {{"description", "Where an editor finds this schema. ashgrove-config ignores it."},
          {"type", "string"}}},
        {"servers",
         {{"description", "The servers, in the order the tool reports them."},
          {"type", "array"},
          {"minItems", 1},
          {"items", {{"$ref", "#/$defs/server"}}}}}}},
      {"required", {"servers"}},
      {"additionalProperties", false},
      {"$defs", {{"server", ServerSchema()}}}};
}
} // namespace configtool
