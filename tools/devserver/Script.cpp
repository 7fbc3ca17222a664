#include "devserver/Script.h"

#include <fstream>
#include <iterator>
#include <regex>
#include <streambuf>
#include <system_error>
#include <utility>
#include <vector>

#include <fmt/format.h>

#include "devserver/CommandLine.h"

namespace devserver
{
namespace
{
namespace fs = std::filesystem;

constexpr std::string_view ExpectedMark = "=>";

// A line of the script as it stands in the file, its ending apart, so that
// a recording can write it back byte for byte.
struct ScriptLine
{
  int Number = 0;
  std::string Text;   // without its line feed
  std::string Ending; // "\n", or "" for a last line without one
};

std::vector<ScriptLine> ReadLines(std::istream& script)
{
  const std::string text{std::istreambuf_iterator<char>(script), std::istreambuf_iterator<char>()};
  std::vector<ScriptLine> lines;
  std::size_t start = 0;
  while (start < text.size())
  {
    const std::size_t end = text.find('\n', start);
    const bool last = end == std::string::npos;
    lines.push_back({static_cast<int>(lines.size()) + 1,
                     text.substr(start, last ? std::string::npos : end - start), last ? "" : "\n"});
    start = last ? text.size() : end + 1;
  }
  return lines;
}

// A line as the language reads it: a byte-order mark that an editor put at
// the start of the file is no part of the first command.
std::string_view Content(const ScriptLine& line)
{
  constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";
  std::string_view text = line.Text;
  if (line.Number == 1 && text.starts_with(ByteOrderMark))
  {
    text.remove_prefix(ByteOrderMark.size());
  }
  return text;
}

// The result a "=> " line expects, blanks before it allowed; nothing for any
// other line.
std::optional<std::string> ExpectedResult(std::string_view line)
{
  const std::size_t start = line.find_first_not_of(" \t");
  if (start == std::string_view::npos)
  {
    return std::nullopt;
  }
  const std::string_view rest = TrimmedLineEnd(line.substr(start));
  if (rest == ExpectedMark)
  {
    return std::string();
  }
  if (!rest.starts_with(ExpectedMark) || rest.substr(ExpectedMark.size(), 1) != " ")
  {
    return std::nullopt;
  }
  return std::string(rest.substr(ExpectedMark.size() + 1));
}

// Hands everything written to a stream on, and keeps a copy of it.
class Capture final : public std::streambuf
{
public:
  explicit Capture(std::ostream& stream) : stream_(stream), inner_(stream.rdbuf(this)) {}
  ~Capture() override { stream_.rdbuf(inner_); }
  Capture(const Capture&) = delete;
  Capture& operator=(const Capture&) = delete;

  // What was written since the last call, as lines.
  std::vector<std::string> TakeLines()
  {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text_.size())
    {
      const std::size_t end = text_.find('\n', start);
      lines.push_back(text_.substr(start, end == std::string::npos ? end : end - start));
      start = end == std::string::npos ? text_.size() : end + 1;
    }
    text_.clear();
    return lines;
  }

  void Drop() { text_.clear(); }

protected:
  int_type overflow(int_type c) override
  {
    if (traits_type::eq_int_type(c, traits_type::eof()))
    {
      return traits_type::not_eof(c);
    }
    text_ += traits_type::to_char_type(c);
    return inner_->sputc(traits_type::to_char_type(c));
  }

  std::streamsize xsputn(const char* s, std::streamsize count) override
  {
    text_.append(s, static_cast<std::size_t>(count));
    return inner_->sputn(s, count);
  }

  int sync() override { return inner_->pubsync(); }

private:
  std::ostream& stream_;
  std::streambuf* inner_;
  std::string text_;
};

// A command and the results it must print.
struct Block
{
  const ScriptLine* Command = nullptr;
  std::vector<const ScriptLine*> Expected;
};

// Compares a command's results with its "=> " lines; each difference goes
// to `errors`. True when they agree.
bool Agree(const Block& block, const std::vector<std::string>& printed, const std::string& name,
           std::ostream& errors)
{
  bool agree = true;
  const std::size_t count = std::max(block.Expected.size(), printed.size());
  for (std::size_t i = 0; i < count; ++i)
  {
    const bool has_expected = i < block.Expected.size();
    const bool has_printed = i < printed.size();
    const std::string expected =
        has_expected ? ExpectedResult(Content(*block.Expected[i])).value_or("") : "";
    if (has_expected && has_printed && MatchesExpected(expected, printed[i]))
    {
      continue;
    }
    agree = false;
    const int line = has_expected ? block.Expected[i]->Number : block.Command->Number;
    if (has_expected && has_printed)
    {
      errors << fmt::format("{}:{}: a different result\n  expected: {}\n  actual:   {}\n", name,
                            line, expected, printed[i]);
    }
    else if (has_expected)
    {
      errors << fmt::format("{}:{}: a missing result\n  expected: {}\n", name, line, expected);
    }
    else
    {
      errors << fmt::format("{}:{}: an extra result\n  actual:   {}\n", name, line, printed[i]);
    }
  }
  return agree;
}

// What a recording writes for a result: its log line's time, which differs
// from run to run, and the server folder, which may be a fresh temporary
// one, as placeholders.
std::string Steady(std::string line, const std::string& server_dir)
{
  static const std::regex stamp(R"(^log \d\d/\d\d/\d\d \d\d:\d\d )");
  line = std::regex_replace(line, stamp, "log {{time}} ", std::regex_constants::format_first_only);
  for (std::size_t at = server_dir.empty() ? std::string::npos : line.find(server_dir);
       at != std::string::npos; at = line.find(server_dir, at))
  {
    line.replace(at, server_dir.size(), "{{server-dir}}");
  }
  return line;
}

// A command's lines as a recording writes them: the command as it stood,
// then a "=> " line per result. An expected line that still matches is kept
// as it was, placeholders and all.
std::string Recorded(const Block& block, const std::vector<std::string>& printed,
                     const std::string& server_dir)
{
  const ScriptLine& command = *block.Command;
  // New lines end as the command's line does, carriage return and all.
  const std::string line_end = command.Text.ends_with('\r') ? "\r\n" : "\n";
  std::string text =
      command.Text + (command.Ending.empty() && !printed.empty() ? line_end : command.Ending);
  for (std::size_t i = 0; i < printed.size(); ++i)
  {
    const bool last = i + 1 == printed.size();
    const std::string ending = last && command.Ending.empty() ? "" : line_end;
    if (i < block.Expected.size())
    {
      const ScriptLine& old = *block.Expected[i];
      if (MatchesExpected(ExpectedResult(old.Text).value_or(""), printed[i]))
      {
        // An old last line without a line feed gets one when more follows.
        text += old.Text + (old.Ending.empty() ? ending : old.Ending);
        continue;
      }
    }
    text += "=> " + Steady(printed[i], server_dir) + ending;
  }
  return text;
}

// Replaces the file only once the whole text is written: a temporary file
// beside it, renamed over it.
void WriteWhole(const fs::path& path, const std::string& text)
{
  fs::path temporary = path;
  temporary += ".recording";
  {
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    file << text;
    file.flush();
    if (!file)
    {
      throw std::runtime_error("cannot write " + temporary.string());
    }
  }
  std::error_code error;
  fs::rename(temporary, path, error);
  if (error)
  {
    fs::remove(temporary, error);
    throw std::runtime_error("cannot replace " + path.string() + ": " + error.message());
  }
}
// A script's run so far: what it has checked, and what a recording writes.
struct ScriptRun
{
  int Checked = 0;
  int Differ = 0;
  std::string Recording;
};

// Why the script cannot go on before this line, if it cannot.
std::optional<std::string> StopBefore(const ScriptLine& line, const ScriptOptions& options)
{
  if (options.StopRequested && options.StopRequested())
  {
    return "stopped before line " + std::to_string(line.Number);
  }
  if (ExpectedResult(Content(line)))
  {
    return "error line " + std::to_string(line.Number) +
           ": an expected result (=> ...) belongs right after its command";
  }
  return std::nullopt;
}

// A command and the "=> " lines after it, from lines[i] on; `i` moves past
// them.
Block TakeBlock(const std::vector<ScriptLine>& lines, std::size_t& i)
{
  Block block{&lines[i], {}};
  for (++i; i < lines.size() && ExpectedResult(Content(lines[i])); ++i)
  {
    block.Expected.push_back(&lines[i]);
  }
  return block;
}

// Runs the block's command and checks or records what it printed; false,
// after saying why on `errors`, when the command cannot run.
bool RunBlock(Session& session, const Block& block, Capture& capture, ScriptRun& run,
              std::ostream& out, std::ostream& errors, const ScriptOptions& options)
{
  capture.Drop();
  try
  {
    session.Run(std::string(Content(*block.Command)));
  }
  catch (const std::exception& error)
  {
    out.flush();
    errors << "error line " << block.Command->Number << ": " << error.what() << '\n';
    return false;
  }
  out.flush();
  const std::vector<std::string> printed = capture.TakeLines();
  if (options.RecordTo)
  {
    run.Recording += Recorded(block, printed, session.ServerDirectory());
  }
  else if (!block.Expected.empty())
  {
    ++run.Checked;
    run.Differ += Agree(block, printed, options.Name, errors) ? 0 : 1;
  }
  return true;
}

// Once the script has run to its end: the recording written, or the
// summary of what was checked.
int Conclude(const ScriptRun& run, std::ostream& errors, const ScriptOptions& options)
{
  if (options.RecordTo)
  {
    WriteWhole(*options.RecordTo, run.Recording);
    return 0;
  }
  if (run.Checked > 0)
  {
    errors << fmt::format(
        "{}: {} command{} checked, {}\n", options.Name, run.Checked, run.Checked == 1 ? "" : "s",
        run.Differ == 0 ? "all as expected" : fmt::format("{} differ", run.Differ));
  }
  return run.Differ == 0 ? 0 : 1;
}
} // namespace

bool MatchesExpected(std::string_view expected, std::string_view actual)
{
  // The literal pieces between placeholders, in order.
  std::vector<std::string_view> pieces;
  std::size_t start = 0;
  for (std::size_t open = expected.find("{{"); open != std::string_view::npos;
       open = expected.find("{{", start))
  {
    const std::size_t close = expected.find("}}", open + 2);
    if (close == std::string_view::npos)
    {
      break;
    }
    pieces.push_back(expected.substr(start, open - start));
    start = close + 2;
  }
  pieces.push_back(expected.substr(start));
  if (pieces.size() == 1)
  {
    return expected == actual;
  }
  // The first piece begins the line and the last ends it; those between
  // are found in order, each as early as it can be.
  if (!actual.starts_with(pieces.front()) ||
      actual.size() < pieces.front().size() + pieces.back().size() ||
      !actual.ends_with(pieces.back()))
  {
    return false;
  }
  std::size_t at = pieces.front().size();
  const std::size_t end = actual.size() - pieces.back().size();
  for (std::size_t i = 1; i + 1 < pieces.size(); ++i)
  {
    const std::size_t found = actual.substr(0, end).find(pieces[i], at);
    if (found == std::string_view::npos)
    {
      return false;
    }
    at = found + pieces[i].size();
  }
  return at <= end;
}

int RunScript(Session& session, std::istream& script, std::ostream& out, std::ostream& errors,
              const ScriptOptions& options)
{
  const std::vector<ScriptLine> lines = ReadLines(script);
  Capture capture(out);
  ScriptRun run;
  for (std::size_t i = 0; i < lines.size();)
  {
    const ScriptLine& line = lines[i];
    if (const auto stop = StopBefore(line, options))
    {
      out.flush();
      errors << *stop << '\n';
      return 2;
    }
    if (IsCommentOrBlank(Content(line)))
    {
      if (options.EchoComments)
      {
        out << TrimmedLineEnd(Content(line)) << '\n';
      }
      run.Recording += line.Text + line.Ending;
      ++i;
      continue;
    }
    if (!RunBlock(session, TakeBlock(lines, i), capture, run, out, errors, options))
    {
      return 2;
    }
  }
  out.flush();
  return Conclude(run, errors, options);
}
} // namespace devserver
