#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "rcon/Packet.h"

// What a client sends and makes of the packets a server sends back, by the
// protocol's rules alone; the transport is the caller's.
namespace rcon
{
// The answer to an auth request. Source servers usually send an empty
// response value with the request's id first; that is no answer yet.
enum class AuthAnswer
{
  Pending,
  Accepted,
  Refused, // id -1: a wrong password
  Unexpected,
};
AuthAnswer ReadAuthAnswer(const Packet& packet, std::int32_t auth_id);

// A command followed by an empty response value with `marker_id`: the
// server answers packets in order, so the answer to the marker shows that
// the command's whole reply has come.
std::vector<unsigned char> CommandRequest(std::int32_t id, std::string_view command,
                                          std::int32_t marker_id);

// A command's reply joined from the response values that carry the
// command's id, up to the answer to the end marker.
class ReplyJoiner
{
public:
  // Replies longer than this are not joined: no answer to a command of ours
  // is anywhere near as long.
  static constexpr std::size_t Limit = 1024 * 1024;

  ReplyJoiner(std::int32_t command_id, std::int32_t marker_id);

  enum class Step
  {
    More,
    Done,
    Unexpected, // a packet that is neither part of the reply nor the marker's answer
  };
  Step Take(const Packet& packet);

  [[nodiscard]] const std::string& Text() const { return text_; }

private:
  std::int32_t command_id_;
  std::int32_t marker_id_;
  std::string text_;
};
} // namespace rcon
