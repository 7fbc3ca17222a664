#include "devserver/RconConnection.h"

#include <cstring>
#include <utility>

#include <fmt/format.h>

#include "devhost/Commands.h"
#include "devhost/Rcon.h"

namespace devserver
{
namespace
{
using asio::ip::tcp;

// Bytes asked of the socket in one read.
constexpr std::size_t ReadChunk = 8192;
// Packets handled in one go before other clients get the game thread, so
// that a client sending many requests at once cannot hold up the others.
constexpr int PacketsPerTurn = 16;

// "5 s", "0.25 s".
std::string Seconds(std::chrono::nanoseconds duration)
{
  return fmt::format("{:g} s", std::chrono::duration<double>(duration).count());
}
} // namespace

std::string Describe(const tcp::endpoint& endpoint)
{
  const std::string address = endpoint.address().to_string();
  return endpoint.address().is_v6() ? fmt::format("[{}]:{}", address, endpoint.port())
                                    : fmt::format("{}:{}", address, endpoint.port());
}

RconConnection::RconConnection(tcp::socket socket, const tcp::endpoint& peer, RconOwner& owner,
                               const RconLimits& limits)
    : socket_(std::move(socket)), peer_(peer), owner_(&owner), limits_(limits),
      opened_(Clock::now())
{
}

RconConnection::~RconConnection()
{
  devhost::CloseRconConnection(host_connection_);
}

void RconConnection::Start()
{
  std::weak_ptr<RconConnection> self = shared_from_this();
  host_connection_ = devhost::OpenRconConnection(
      [self](const devhost::RconReply& reply)
      {
        if (auto connection = self.lock())
        {
          connection->QueueReply(reply.Id, reply.Type, reply.Body);
        }
      });
  Read();
}

std::size_t RconConnection::BufferedOutput() const
{
  return sending_.size() - sent_ + pending_.size();
}

// A fault while handling one client closes that client, with a line on
// standard error, and nobody else notices.
template <class Step> void RconConnection::Guarded(Step step)
{
  try
  {
    step();
  }
  catch (const std::exception& error)
  {
    in_turn_ = false;
    Close(std::string("internal error: ") + error.what());
  }
  catch (...)
  {
    in_turn_ = false;
    Close("internal error");
  }
}

void RconConnection::Close(std::string_view reason)
{
  if (!open_)
  {
    return;
  }
  const auto self = shared_from_this();
  open_ = false;
  if (!reason.empty() && owner_ != nullptr)
  {
    owner_->Diagnose(
        fmt::format("rcon: dropping the connection from {}: {}", Describe(peer_), reason));
  }
  asio::error_code ignored;
  socket_.shutdown(tcp::socket::shutdown_both, ignored);
  socket_.close(ignored);
  devhost::CloseRconConnection(host_connection_);
  host_connection_ = nullptr;
  if (owner_ != nullptr)
  {
    owner_->Closed(*this);
  }
}

void RconConnection::CheckDeadlines(Clock::time_point now)
{
  if (!open_)
  {
    return;
  }
  if (!rules_.Authenticated() && !closing_ && now - opened_ >= limits_.AuthTimeout)
  {
    Close("not authenticated within " + Seconds(limits_.AuthTimeout));
  }
  else if (reading_ && partial_since_ != Clock::time_point{} &&
           now - partial_since_ >= limits_.PacketTimeout)
  {
    Close("an incomplete packet stalled for " + Seconds(limits_.PacketTimeout));
  }
  else if (BufferedOutput() > 0 && now - output_progress_ >= limits_.WriteTimeout)
  {
    Close("its replies made no progress for " + Seconds(limits_.WriteTimeout));
  }
}

void RconConnection::Read()
{
  if (reading_ || !open_ || closing_)
  {
    return;
  }
  if (in_begin_ > 0)
  {
    // What is left is the start of one packet: move it to the front.
    std::memmove(in_.data(), in_.data() + in_begin_, in_end_ - in_begin_);
    in_end_ -= in_begin_;
    in_begin_ = 0;
  }
  if (in_.size() < in_end_ + ReadChunk)
  {
    in_.resize(in_end_ + ReadChunk);
  }
  reading_ = true;
  socket_.async_read_some(
      asio::buffer(in_.data() + in_end_, ReadChunk),
      [self = shared_from_this()](const asio::error_code& error, std::size_t bytes)
      { self->Completed(self->reading_, [&] { self->OnRead(error, bytes); }); });
}

template <class Step> void RconConnection::Completed(bool& pending, Step step)
{
  pending = false;
  if (open_)
  {
    Guarded(step);
  }
}

void RconConnection::OnRead(const asio::error_code& error, std::size_t bytes)
{
  if (!error)
  {
    in_end_ += bytes;
    Turn();
  }
  else if (error == asio::error::eof && BufferedOutput() > 0)
  {
    // The client has said all it will; it still gets its replies.
    closing_ = true;
  }
  else
  {
    Close({});
  }
}

// Handles the packets received so far, a few at a time, and reads on when
// only an incomplete one is left.
void RconConnection::Turn()
{
  if (!open_ || closing_ || reading_)
  {
    return;
  }
  in_turn_ = true;
  const bool more = HandleReceived();
  in_turn_ = false;
  if (!open_)
  {
    return;
  }
  if (!failure_.empty())
  {
    Close("cannot queue a reply: " + failure_);
    return;
  }
  FinishTurn(more);
}

// Handles whole packets until only part of one is left, the unsent replies
// are over the limit or the turn's share is used up; true in the last case.
bool RconConnection::HandleReceived()
{
  for (int handled = 0; open_ && !closing_ && BufferedOutput() <= limits_.OutputLimit; ++handled)
  {
    if (handled == PacketsPerTurn)
    {
      return true;
    }
    const rcon::Parsed parsed = rcon::Parse(in_.data() + in_begin_, in_end_ - in_begin_);
    if (parsed.Result == rcon::Parsed::Incomplete)
    {
      break;
    }
    if (parsed.Result == rcon::Parsed::OutOfBounds)
    {
      Close("packet size out of bounds");
      break;
    }
    in_begin_ += parsed.Consumed;
    partial_since_ = {};
    rules_.Handle(parsed.Value, *this);
  }
  return false;
}

// After a turn the replies go out; then the connection closes once they are
// sent, waits for them to drain, takes another turn, or reads on.
void RconConnection::FinishTurn(bool more)
{
  Flush();
  if (closing_)
  {
    CloseIfSent();
  }
  else if (BufferedOutput() > limits_.OutputLimit)
  {
    paused_ = true;
  }
  else if (more)
  {
    asio::post(socket_.get_executor(),
               [self = shared_from_this()] { self->Guarded([&] { self->Turn(); }); });
  }
  else
  {
    NotePartialPacket();
    Read();
  }
}

void RconConnection::NotePartialPacket()
{
  if (in_end_ > in_begin_ && partial_since_ == Clock::time_point{})
  {
    partial_since_ = Clock::now();
  }
}

bool RconConnection::LogIn(std::string_view password)
{
  return owner_ != nullptr && owner_->LogIn(peer_.address(), password);
}

bool RconConnection::RunCommand(std::int32_t id, std::string_view line)
{
  return devhost::RunRconCommand(host_connection_, id, std::string(line));
}

void RconConnection::Send(std::int32_t id, std::int32_t type, std::string_view body)
{
  QueueReply(id, type, body);
}

void RconConnection::CloseWhenSent()
{
  closing_ = true;
}

void RconConnection::Drop(std::string_view reason)
{
  Close(reason);
}

void RconConnection::QueueReply(std::int32_t id, std::int32_t type, std::string_view body) noexcept
{
  if (!open_)
  {
    return;
  }
  try
  {
    if (BufferedOutput() == 0)
    {
      output_progress_ = Clock::now();
    }
    rcon::AppendReply(pending_, id, type, body);
  }
  catch (const std::exception& error)
  {
    // Called from inside the plugin: the exception must not cross it.
    failure_ = error.what();
  }
  if (!in_turn_ && failure_.empty())
  {
    Flush();
  }
}

void RconConnection::Flush()
{
  if (writing_ || pending_.empty() || !open_)
  {
    return;
  }
  sending_.clear();
  std::swap(sending_, pending_);
  sent_ = 0;
  Write();
}

void RconConnection::Write()
{
  writing_ = true;
  socket_.async_write_some(
      asio::buffer(sending_.data() + sent_, sending_.size() - sent_),
      [self = shared_from_this()](const asio::error_code& error, std::size_t bytes)
      { self->Completed(self->writing_, [&] { self->OnWrite(error, bytes); }); });
}

void RconConnection::OnWrite(const asio::error_code& error, std::size_t bytes)
{
  if (error)
  {
    Close({});
    return;
  }
  sent_ += bytes;
  output_progress_ = Clock::now();
  if (sent_ < sending_.size())
  {
    Write();
    return;
  }
  if (sending_.capacity() > 2 * limits_.OutputLimit)
  {
    // A long reply has gone out: give its memory back.
    sending_ = {};
  }
  Flush();
  if (closing_)
  {
    CloseIfSent();
  }
  else if (paused_ && BufferedOutput() <= limits_.OutputLimit / 2)
  {
    paused_ = false;
    Turn();
  }
}

void RconConnection::CloseIfSent()
{
  if (BufferedOutput() == 0 && !writing_)
  {
    Close({});
  }
}
} // namespace devserver
