#include "configtool/JsonIndex.h"

namespace configtool
{
std::string MemberPath(const std::string& object, const std::string& name)
{
  std::string path = object + "/";
  for (const char c : name)
  {
    if (c == '~')
    {
      path += "~0";
    }
    else if (c == '/')
    {
      path += "~1";
    }
    else
    {
      path += c;
    }
  }
  return path;
}

const JsonIndex::Spot* JsonIndex::Find(const std::string& path) const
{
  const auto found = spots_.find(path);
  return found == spots_.end() ? nullptr : &found->second;
}

std::string JsonIndex::PathHere() const
{
  std::string path;
  for (const Level& level : levels_)
  {
    path = level.Object ? MemberPath(path, level.Key) : path + "/" + std::to_string(level.Index);
  }
  return path;
}

void JsonIndex::Key(int /*depth*/, const std::string& name, std::size_t at)
{
  if (levels_.empty())
  {
    return;
  }
  Level& level = levels_.back();
  level.Key = name;
  level.KeyAt = at;
  if (!level.Seen.insert(name).second)
  {
    repeated_.push_back({name, at});
  }
}

void JsonIndex::Value(int /*depth*/, JsonKind kind, std::size_t at, std::string_view /*text*/)
{
  Spot spot{std::nullopt, at};
  if (!levels_.empty() && levels_.back().Object)
  {
    spot.KeyAt = levels_.back().KeyAt;
  }
  if (levels_.size() <= depth_)
  {
    spots_.insert_or_assign(PathHere(), spot);
  }
  if (kind == JsonKind::Object || kind == JsonKind::Array)
  {
    levels_.push_back({kind == JsonKind::Object, 0, {}, 0, {}});
  }
  else
  {
    NextElement();
  }
}

void JsonIndex::Closed(int /*depth*/)
{
  if (!levels_.empty())
  {
    levels_.pop_back();
  }
  NextElement();
}

// A value has ended: in an array, the next one has the next index.
void JsonIndex::NextElement()
{
  if (!levels_.empty() && !levels_.back().Object)
  {
    ++levels_.back().Index;
  }
}
} // namespace configtool
