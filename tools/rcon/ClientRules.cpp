#include "rcon/ClientRules.h"

namespace rcon
{
AuthAnswer ReadAuthAnswer(const Packet& packet, std::int32_t auth_id)
{
  if (packet.Type == AuthResponse)
  {
    if (packet.Id == auth_id)
    {
      return AuthAnswer::Accepted;
    }
    return packet.Id == -1 ? AuthAnswer::Refused : AuthAnswer::Unexpected;
  }
  // Some servers give the empty response value a refusal's id.
  if (packet.Type == ResponseValue && (packet.Id == auth_id || packet.Id == -1) &&
      packet.Body.empty())
  {
    return AuthAnswer::Pending;
  }
  return AuthAnswer::Unexpected;
}

std::vector<unsigned char> CommandRequest(std::int32_t id, std::string_view command,
                                          std::int32_t marker_id)
{
  std::vector<unsigned char> bytes = Encode({id, ExecCommand, std::string(command)});
  const std::vector<unsigned char> marker = Encode({marker_id, ResponseValue, ""});
  bytes.insert(bytes.end(), marker.begin(), marker.end());
  return bytes;
}

ReplyJoiner::ReplyJoiner(std::int32_t command_id, std::int32_t marker_id)
    : command_id_(command_id), marker_id_(marker_id)
{
}

ReplyJoiner::Step ReplyJoiner::Take(const Packet& packet)
{
  if (packet.Type != ResponseValue)
  {
    return Step::Unexpected;
  }
  if (packet.Id == marker_id_)
  {
    return Step::Done;
  }
  if (packet.Id != command_id_ || text_.size() + packet.Body.size() > Limit)
  {
    return Step::Unexpected;
  }
  text_ += packet.Body;
  return Step::More;
}
} // namespace rcon
