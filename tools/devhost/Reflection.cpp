#include "host/Reflection.h"

#include <unordered_map>

#include "devhost/internal/GameFunctions.h"
#include "devhost/internal/GameState.h"

namespace
{
using devhost::detail::IsHidden;
using devhost::detail::MemberInfo;
using devhost::detail::State;
using devhost::detail::Trace;

const MemberInfo* FindMember(const void* object, const std::string& name)
{
  if (IsHidden(name))
  {
    return nullptr;
  }
  const auto& objects = State().Objects;
  const auto record = objects.find(object);
  if (record == objects.end())
  {
    return nullptr;
  }
  const auto member = record->second.Members->find(name);
  return member == record->second.Members->end() ? nullptr : &member->second;
}

std::unordered_map<std::string, void*>& Functions()
{
  static std::unordered_map<std::string, void*> functions = []
  {
    std::unordered_map<std::string, void*> table;
    devhost::detail::RegisterGameFunctions(table);
    return table;
  }();
  return functions;
}
} // namespace

std::uint64_t GetAddress(const void* object, const std::string& member_name)
{
  Trace("member", member_name);
  const MemberInfo* member = FindMember(object, member_name);
  if (member == nullptr || member->IsBitField)
  {
    return 0;
  }
  return member->Address(const_cast<void*>(object));
}

void* GetAddress(const std::string& function_name)
{
  Trace("function", function_name);
  if (IsHidden(function_name))
  {
    return nullptr;
  }
  const auto& functions = Functions();
  const auto found = functions.find(function_name);
  return found == functions.end() ? nullptr : found->second;
}

BitField GetBitField(void* object, const std::string& field_name)
{
  Trace("bitfield", field_name);
  const MemberInfo* member = FindMember(object, field_name);
  if (member == nullptr || !member->IsBitField)
  {
    return {};
  }
  const auto& override_field = State().BitFieldOverride;
  if (override_field)
  {
    return *override_field;
  }
  return BitField{member->Address(object), member->BitPosition, 1};
}
