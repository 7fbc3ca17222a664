#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>

#include <asio.hpp>

namespace devserver
{
// Serves the Source RCON protocol over TCP. Every handler runs on the
// io_context's thread, which is the game thread: commands reach the plugin
// from there and nowhere else.
class RconServer
{
public:
  RconServer(asio::io_context& io, const std::string& bind_address, std::uint16_t port,
             std::string password, std::ostream& diagnostics);
  ~RconServer();
  RconServer(const RconServer&) = delete;
  RconServer& operator=(const RconServer&) = delete;

  [[nodiscard]] std::uint16_t Port() const;

private:
  void Accept();

  asio::ip::tcp::acceptor acceptor_;
  std::string password_;
  std::ostream& diagnostics_;
};
} // namespace devserver
