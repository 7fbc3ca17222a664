#include "devserver/LoginThrottle.h"

#include <algorithm>

namespace devserver
{
LoginThrottle::LoginThrottle(Policy policy) : policy_(policy) {}

asio::ip::address LoginThrottle::Key(const asio::ip::address& address)
{
  if (!address.is_v6())
  {
    return address;
  }
  const asio::ip::address_v6 v6 = address.to_v6();
  if (v6.is_v4_mapped())
  {
    return asio::ip::make_address_v4(asio::ip::v4_mapped, v6);
  }
  asio::ip::address_v6::bytes_type bytes = v6.to_bytes();
  std::fill(bytes.begin() + 8, bytes.end(), 0);
  return asio::ip::address_v6(bytes);
}

bool LoginThrottle::Refused(const asio::ip::address& address, Clock::time_point now) const
{
  const auto found = records_.find(Key(address));
  return found != records_.end() && now < found->second.RefusedUntil;
}

LoginThrottle::Failure LoginThrottle::RecordFailure(const asio::ip::address& address,
                                                    Clock::time_point now)
{
  if (policy_.Failures == 0)
  {
    return {};
  }
  const asio::ip::address key = Key(address);
  auto found = records_.find(key);
  if (found == records_.end())
  {
    MakeRoom(now);
    found = records_.emplace(key, Record{}).first;
  }
  Record& record = found->second;
  if (record.Failures == 0 || now - record.First >= policy_.Period)
  {
    record.Failures = 0;
    record.First = now;
  }
  record.Last = now;
  const Failure failure{++record.Failures, record.Failures >= policy_.Failures};
  if (failure.Refused)
  {
    // Counting starts afresh once the refusal is over.
    record.RefusedUntil = now + policy_.Period;
    record.Failures = 0;
  }
  return failure;
}

bool LoginThrottle::Lapsed(const Record& record, Clock::time_point now) const
{
  return now >= record.RefusedUntil &&
         (record.Failures == 0 || now - record.First >= policy_.Period);
}

void LoginThrottle::Forget(Clock::time_point now)
{
  std::erase_if(records_, [&](const auto& entry) { return Lapsed(entry.second, now); });
}

void LoginThrottle::MakeRoom(Clock::time_point now)
{
  if (records_.size() < policy_.Capacity)
  {
    return;
  }
  Forget(now);
  if (records_.size() < policy_.Capacity || records_.empty())
  {
    return;
  }
  // Refusals are kept longest: first goes the address that failed least
  // recently without being refused, then the refusal that ends soonest.
  const auto victim = std::min_element(records_.begin(), records_.end(),
                                       [&](const auto& a, const auto& b)
                                       {
                                         const bool a_refused = now < a.second.RefusedUntil;
                                         const bool b_refused = now < b.second.RefusedUntil;
                                         if (a_refused != b_refused)
                                         {
                                           return !a_refused;
                                         }
                                         return a_refused
                                                    ? a.second.RefusedUntil < b.second.RefusedUntil
                                                    : a.second.Last < b.second.Last;
                                       });
  records_.erase(victim);
}
} // namespace devserver
