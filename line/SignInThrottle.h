#pragma once
#include <chrono>
#include <map>
#include <mutex>
#include <string>

// Wrong passwords from one address: past kAllowedFailures within kWindow, that address may not
// try again until kWindow has passed since its last failure; a right password clears its count.
// Bounded: at most kMaxAddresses are remembered (the oldest forgotten first). Every call may come
// from any thread; the clock is the caller's.
class SignInThrottle {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr int kAllowedFailures = 5;
  static constexpr std::chrono::minutes kWindow{5};
  static constexpr std::size_t kMaxAddresses = 10000;

  // How long the address must wait before it may try; zero when it may now.
  std::chrono::seconds waitFor(const std::string& address, Clock::time_point now);
  void failed(const std::string& address, Clock::time_point now);
  void succeeded(const std::string& address);

 private:
  struct Failures {
    int count = 0;
    Clock::time_point last;
  };
  std::mutex mutex_;
  std::map<std::string, Failures> failures_;
};
