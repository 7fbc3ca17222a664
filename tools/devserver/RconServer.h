#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include <asio.hpp>

#include "devserver/RconConnection.h"
#include "devserver/RconLimits.h"

namespace devserver
{
// Serves the Source RCON protocol over TCP. Every handler runs on the
// io_context's thread, which is the game thread: commands reach the plugin
// from there and nowhere else. It keeps accepting whatever accept() reports,
// holds at most RconLimits::MaxConnections clients, turning newcomers away
// when full, and closes clients that miss a deadline from one coarse
// periodic sweep.
class RconServer final : private RconOwner
{
public:
  RconServer(asio::io_context& io, RconSettings settings, std::ostream& diagnostics);
  ~RconServer();
  RconServer(const RconServer&) = delete;
  RconServer& operator=(const RconServer&) = delete;

  [[nodiscard]] std::uint16_t Port() const;

private:
  using Clock = std::chrono::steady_clock;

  void Accept();
  void AcceptFailed(const asio::error_code& error);
  void Admit(asio::ip::tcp::socket socket);
  void ScheduleSweep();
  void Sweep();

  bool LogIn(const asio::ip::address& address, std::string_view password) override;
  void Closed(RconConnection& connection) override;
  void Diagnose(const std::string& line) override;

  asio::ip::tcp::acceptor acceptor_;
  asio::steady_timer retry_timer_;
  asio::steady_timer sweep_timer_;
  RconSettings settings_;
  std::ostream& diagnostics_;
  std::vector<std::shared_ptr<RconConnection>> connections_;
  // The accept error last reported, while accepting keeps failing.
  std::optional<asio::error_code> accept_error_;
};
} // namespace devserver
