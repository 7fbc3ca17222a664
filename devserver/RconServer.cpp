#include "devserver/RconServer.h"

#include <deque>
#include <utility>
#include <vector>

#include "devhost/Host.h"
#include "devserver/RconPacket.h"

namespace devserver
{
namespace
{
using asio::ip::tcp;

// One client: authenticates once, then each command reaches the host's
// RCON registry with its request id, and every reply the plugin sends on
// this connection goes back over the socket.
class RconClient : public std::enable_shared_from_this<RconClient>
{
public:
  RconClient(tcp::socket socket, const std::string& password, std::ostream& diagnostics)
      : socket_(std::move(socket)), password_(password), diagnostics_(diagnostics)
  {
  }

  ~RconClient() { devhost::CloseRconConnection(connection_); }

  void Start()
  {
    std::weak_ptr<RconClient> self = shared_from_this();
    connection_ = devhost::OpenRconConnection(
        [self](const devhost::RconReply& reply)
        {
          if (auto client = self.lock())
          {
            client->Send({reply.Id, reply.Type, reply.Body});
          }
        });
    ReadHeader();
  }

private:
  void ReadHeader()
  {
    asio::async_read(socket_, asio::buffer(header_),
                     [self = shared_from_this()](const asio::error_code& error, std::size_t)
                     {
                       if (!error)
                       {
                         self->ReadPayload();
                       }
                     });
  }

  void ReadPayload()
  {
    const auto size = rcon::ReadSize(header_);
    if (!size)
    {
      Drop("packet size out of bounds");
      return;
    }
    payload_.assign(static_cast<std::size_t>(*size), 0);
    asio::async_read(socket_, asio::buffer(payload_),
                     [self = shared_from_this()](const asio::error_code& error, std::size_t)
                     {
                       if (!error)
                       {
                         self->Handle(rcon::Decode(self->payload_));
                       }
                     });
  }

  void Handle(const rcon::Packet& packet)
  {
    if (packet.Type == rcon::Auth)
    {
      authenticated_ = packet.Body == password_;
      if (authenticated_)
      {
        Send({packet.Id, rcon::ResponseValue, ""});
      }
      Send({authenticated_ ? packet.Id : -1, rcon::AuthResponse, ""});
    }
    else if (!authenticated_)
    {
      Drop("command before authentication");
      return;
    }
    else if (packet.Type == rcon::ExecCommand)
    {
      if (!devhost::RunRconCommand(connection_, packet.Id, packet.Body))
      {
        Send({packet.Id, rcon::ResponseValue, "Unknown command: " + packet.Body});
      }
    }
    else
    {
      // Clients send an empty response-value packet to find the end of a
      // long reply; answering it in kind is enough.
      Send({packet.Id, rcon::ResponseValue, ""});
    }
    ReadHeader();
  }

  void Send(const rcon::Packet& packet)
  {
    const bool idle = outgoing_.empty();
    outgoing_.push_back(rcon::Encode(packet));
    if (idle)
    {
      WriteNext();
    }
  }

  void WriteNext()
  {
    asio::async_write(socket_, asio::buffer(outgoing_.front()),
                      [self = shared_from_this()](const asio::error_code& error, std::size_t)
                      {
                        if (error)
                        {
                          return;
                        }
                        self->outgoing_.pop_front();
                        if (!self->outgoing_.empty())
                        {
                          self->WriteNext();
                        }
                      });
  }

  void Drop(const char* reason)
  {
    diagnostics_ << "rcon: dropping a client: " << reason << '\n';
    asio::error_code ignored;
    socket_.shutdown(tcp::socket::shutdown_both, ignored);
    socket_.close(ignored);
  }

  tcp::socket socket_;
  std::string password_;
  std::ostream& diagnostics_;
  RCONClientConnection* connection_ = nullptr;
  bool authenticated_ = false;
  unsigned char header_[4] = {};
  std::vector<unsigned char> payload_;
  std::deque<std::vector<unsigned char>> outgoing_;
};
} // namespace

RconServer::RconServer(asio::io_context& io, const std::string& bind_address, std::uint16_t port,
                       std::string password, std::ostream& diagnostics)
    : acceptor_(io, tcp::endpoint(asio::ip::make_address(bind_address), port)),
      password_(std::move(password)), diagnostics_(diagnostics)
{
  Accept();
}

RconServer::~RconServer()
{
  asio::error_code ignored;
  acceptor_.close(ignored);
}

std::uint16_t RconServer::Port() const
{
  return acceptor_.local_endpoint().port();
}

void RconServer::Accept()
{
  acceptor_.async_accept(
      [this](const asio::error_code& error, tcp::socket socket)
      {
        if (error)
        {
          return;
        }
        std::make_shared<RconClient>(std::move(socket), password_, diagnostics_)->Start();
        Accept();
      });
}
} // namespace devserver
