#include "settings/SettingsReader.h"

#include <sstream>

#include <nlohmann/json.hpp>

#include "settings/DurationRange.h"

namespace
{
class KeyReader
{
public:
  KeyReader(const nlohmann::json& document, const std::string& bytes, const char** failing_key)
      : document_(document), bytes_(bytes), failing_key_(failing_key)
  {
  }

  bool Switch(const char* key, bool fallback)
  {
    Mark(key);
    return document_.value(key, fallback);
  }

  std::int32_t Duration(const char* key, std::int32_t fallback)
  {
    Mark(key);
    if (document_.is_object())
    {
      const auto member = document_.find(key);
      if (member != document_.end() && member->is_number())
      {
        RejectOutOfRangeDuration(key, *member, bytes_);
      }
    }
    return document_.value(key, fallback);
  }

private:
  void Mark(const char* key)
  {
    // A document that is no object fails at the first key, but the fault is
    // the document's, not that key's.
    if (failing_key_ != nullptr)
    {
      *failing_key_ = document_.is_object() ? key : nullptr;
    }
  }

  const nlohmann::json& document_;
  const std::string& bytes_;
  const char** failing_key_;
};
} // namespace

CorpseSettingsValues ReadSettingsText(const std::string& bytes, const char** failing_key)
{
  if (failing_key != nullptr)
  {
    *failing_key = nullptr;
  }
  // Stream extraction stops at the end of the first complete value, so
  // whatever follows it is never looked at. The document lives only as long
  // as this call.
  nlohmann::json document;
  std::istringstream stream(bytes);
  stream >> document;
  // Keys are read in a fixed order so that the first faulty one is the one
  // reported.
  KeyReader read(document, bytes, failing_key);
  CorpseSettingsValues values;
  values.tamedDinosAffected = read.Switch("tamedDinosAffected", DefaultSettings.tamedDinosAffected);
  values.wildDinosAffected = read.Switch("wildDinosAffected", DefaultSettings.wildDinosAffected);
  values.playersBodiesAffected =
      read.Switch("playersBodiesAffected", DefaultSettings.playersBodiesAffected);
  values.tamedCorpseDecayTime =
      read.Duration("tamedCorpseDecayTime", DefaultSettings.tamedCorpseDecayTime);
  values.wildCorpseDecayTime =
      read.Duration("wildCorpseDecayTime", DefaultSettings.wildCorpseDecayTime);
  values.playersBodiesDecayTime =
      read.Duration("playersBodiesDecayTime", DefaultSettings.playersBodiesDecayTime);
  if (failing_key != nullptr)
  {
    *failing_key = nullptr;
  }
  return values;
}
