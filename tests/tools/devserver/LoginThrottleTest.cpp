#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "devserver/LoginThrottle.h"

namespace
{
using devserver::LoginThrottle;
using namespace std::chrono_literals;

asio::ip::address Address(const std::string& text)
{
  return asio::ip::make_address(text);
}

class LoginThrottleTest : public ::testing::Test
{
protected:
  LoginThrottle::Clock::time_point At(std::chrono::seconds offset) const { return start_ + offset; }

  LoginThrottle::Clock::time_point start_ = LoginThrottle::Clock::now();
  LoginThrottle throttle_{{3, 60s, 4}};
};

TEST_F(LoginThrottleTest, RefusesAnAddressForAPeriodAfterTooManyFailures)
{
  const auto guesser = Address("192.0.2.7");
  EXPECT_EQ(throttle_.RecordFailure(guesser, At(0s)).Count, 1U);
  EXPECT_FALSE(throttle_.RecordFailure(guesser, At(1s)).Refused);
  EXPECT_FALSE(throttle_.Refused(guesser, At(1s)));
  const auto third = throttle_.RecordFailure(guesser, At(2s));
  EXPECT_EQ(third.Count, 3U);
  EXPECT_TRUE(third.Refused);
  EXPECT_TRUE(throttle_.Refused(guesser, At(61s)));
  EXPECT_FALSE(throttle_.Refused(guesser, At(62s)));
  EXPECT_FALSE(throttle_.Refused(Address("192.0.2.8"), At(2s)));
  // After the refusal counting starts again.
  EXPECT_EQ(throttle_.RecordFailure(guesser, At(63s)).Count, 1U);
}

TEST_F(LoginThrottleTest, FailuresFurtherApartThanThePeriodDoNotAddUp)
{
  const auto user = Address("192.0.2.7");
  EXPECT_EQ(throttle_.RecordFailure(user, At(0s)).Count, 1U);
  EXPECT_EQ(throttle_.RecordFailure(user, At(30s)).Count, 2U);
  EXPECT_EQ(throttle_.RecordFailure(user, At(60s)).Count, 1U);
  EXPECT_FALSE(throttle_.Refused(user, At(60s)));
}

TEST_F(LoginThrottleTest, StaysBoundedAndKeepsRefusalsLongest)
{
  const auto refused = Address("192.0.2.1");
  for (int i = 0; i < 3; ++i)
  {
    throttle_.RecordFailure(refused, At(0s));
  }
  for (int i = 0; i < 50; ++i)
  {
    throttle_.RecordFailure(Address("198.51.100." + std::to_string(i)), At(1s));
    EXPECT_LE(throttle_.Size(), 4U);
  }
  EXPECT_TRUE(throttle_.Refused(refused, At(30s)));
  throttle_.Forget(At(200s));
  EXPECT_EQ(throttle_.Size(), 0U);
}

TEST_F(LoginThrottleTest, NeverRefusesWhenSwitchedOff)
{
  LoginThrottle off({0, 60s, 4});
  for (int i = 0; i < 10; ++i)
  {
    off.RecordFailure(Address("192.0.2.7"), At(0s));
  }
  EXPECT_FALSE(off.Refused(Address("192.0.2.7"), At(0s)));
  EXPECT_EQ(off.Size(), 0U);
}

// A host is given a whole IPv6 /64: counting its addresses one by one would
// let it step round a refusal.
TEST(LoginThrottleKey, CountsAnIPv6HostByItsPrefixAndMappedIPv4AsIPv4)
{
  const auto key = [](const char* text) { return LoginThrottle::Key(Address(text)).to_string(); };
  EXPECT_EQ(key("2001:db8:1:2:aaaa::1"), "2001:db8:1:2::");
  EXPECT_EQ(key("2001:db8:1:2:ffff:ffff:ffff:ffff"), "2001:db8:1:2::");
  EXPECT_NE(key("2001:db8:1:3::1"), key("2001:db8:1:2::1"));
  EXPECT_EQ(key("::ffff:192.0.2.7"), "192.0.2.7");
  EXPECT_EQ(key("192.0.2.7"), "192.0.2.7");
}
} // namespace
