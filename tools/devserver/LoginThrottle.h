#pragma once

#include <chrono>
#include <cstddef>
#include <map>

#include <asio/ip/address.hpp>

namespace devserver
{
// Wrong passwords counted per address. An address that gives a wrong
// password `Failures` times within `Period` is refused for `Period`: the
// server closes its connections at once and answers its logins as wrong
// whatever the password. IPv6 addresses count by their /64 prefix, the block
// one host is usually given, so that a host cannot step round its refusal;
// the table holds at most `Capacity` addresses.
class LoginThrottle
{
public:
  using Clock = std::chrono::steady_clock;

  struct Policy
  {
    unsigned Failures = 5; // 0: never refuse
    Clock::duration Period = std::chrono::seconds(60);
    std::size_t Capacity = 1024;
  };

  struct Failure
  {
    unsigned Count = 0;   // wrong passwords within the period, this one included
    bool Refused = false; // this one started a refusal
  };

  explicit LoginThrottle(Policy policy);

  [[nodiscard]] bool Refused(const asio::ip::address& address, Clock::time_point now) const;
  Failure RecordFailure(const asio::ip::address& address, Clock::time_point now);

  // Forgets the addresses whose count and refusal have both lapsed.
  void Forget(Clock::time_point now);

  [[nodiscard]] std::size_t Size() const { return records_.size(); }
  [[nodiscard]] const Policy& Rules() const { return policy_; }

  // The address an address is counted under.
  static asio::ip::address Key(const asio::ip::address& address);

private:
  struct Record
  {
    unsigned Failures = 0;
    Clock::time_point First;
    Clock::time_point Last;
    Clock::time_point RefusedUntil;
  };

  [[nodiscard]] bool Lapsed(const Record& record, Clock::time_point now) const;
  void MakeRoom(Clock::time_point now);

  Policy policy_;
  std::map<asio::ip::address, Record> records_;
};
} // namespace devserver
