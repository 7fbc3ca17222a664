#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <asio.hpp>

#include "devserver/RconLimits.h"
#include "host/GameTypes.h"
#include "rcon/Packet.h"
#include "rcon/ServerRules.h"

namespace devserver
{
class RconConnection;

// What a connection asks of the server that holds it.
class RconOwner
{
public:
  // Whether the password is the server's.
  virtual bool LogIn(const asio::ip::address& address, std::string_view password) = 0;
  virtual void Closed(RconConnection& connection) = 0;
  // A line for standard error.
  virtual void Diagnose(const std::string& line) = 0;

protected:
  RconOwner() = default;
  ~RconOwner() = default;
  RconOwner(const RconOwner&) = default;
  RconOwner& operator=(const RconOwner&) = default;
};

// One RCON client over TCP. It reads packets as they come and handles a few
// at a time, by the protocol's rules, before it lets other clients have the
// game thread; it stops reading while its unsent replies are over the limit,
// and it is closed by the owner's sweep when a deadline passes (see
// RconLimits).
class RconConnection final : public std::enable_shared_from_this<RconConnection>,
                             private rcon::ServerRules::Actions
{
public:
  using Clock = std::chrono::steady_clock;

  RconConnection(asio::ip::tcp::socket socket, const asio::ip::tcp::endpoint& peer,
                 RconOwner& owner, const RconLimits& limits);
  ~RconConnection();
  RconConnection(const RconConnection&) = delete;
  RconConnection& operator=(const RconConnection&) = delete;

  void Start();
  // Closes the connection at once; a reason is reported on standard error.
  void Close(std::string_view reason);
  // Closes it when one of its deadlines has passed.
  void CheckDeadlines(Clock::time_point now);
  // The owner is going away and must not be called any more.
  void Detach() { owner_ = nullptr; }

  [[nodiscard]] std::size_t BufferedOutput() const;

private:
  template <class Step> void Guarded(Step step);
  // A read or write has completed: clears its flag and, if the connection
  // is still open, takes the step.
  template <class Step> void Completed(bool& pending, Step step);
  void Read();
  void OnRead(const asio::error_code& error, std::size_t bytes);
  void Turn();
  bool HandleReceived();
  void FinishTurn(bool more);
  void QueueReply(std::int32_t id, std::int32_t type, std::string_view body) noexcept;

  // What the protocol's rules ask of the connection.
  bool LogIn(std::string_view password) override;
  bool RunCommand(std::int32_t id, std::string_view line) override;
  void Send(std::int32_t id, std::int32_t type, std::string_view body) override;
  void CloseWhenSent() override;
  void Drop(std::string_view reason) override;

  void Flush();
  void Write();
  void OnWrite(const asio::error_code& error, std::size_t bytes);
  void CloseIfSent();
  void NotePartialPacket();

  asio::ip::tcp::socket socket_;
  asio::ip::tcp::endpoint peer_;
  RconOwner* owner_;
  RconLimits limits_;
  RCONClientConnection* host_connection_ = nullptr;
  rcon::ServerRules rules_;

  bool open_ = true;
  bool closing_ = false; // close once the replies are sent
  bool reading_ = false;
  bool writing_ = false;
  bool paused_ = false; // not reading: the unsent replies are over the limit
  bool in_turn_ = false;
  std::string failure_; // a reply that could not be queued

  // Received bytes; those in [in_begin_, in_end_) are not handled yet.
  std::vector<unsigned char> in_;
  std::size_t in_begin_ = 0;
  std::size_t in_end_ = 0;

  // Replies: `sending_` is being written from `sent_` on; `pending_` waits
  // for the next write.
  std::vector<unsigned char> sending_;
  std::size_t sent_ = 0;
  std::vector<unsigned char> pending_;

  Clock::time_point opened_;
  Clock::time_point partial_since_; // when an incomplete packet began; epoch if none
  Clock::time_point output_progress_;
};

// "127.0.0.1:5000" or "[::1]:5000".
std::string Describe(const asio::ip::tcp::endpoint& endpoint);
} // namespace devserver
