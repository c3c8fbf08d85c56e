#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <thread>

#include "AbortSignal.h"
#include "AbortableCall.h"
#include "CTcpipPort.h"

using CMNC::AbortableCall;
using namespace std::chrono;

namespace {

// Something a call produced, which records when it is released.
struct Product {
  explicit Product(std::atomic<int>& released) : released_(released) {}
  ~Product() { ++released_; }
  std::atomic<int>& released_;
};

}  // namespace

// A call that cannot be interrupted is waited for within its bound, a stop ends the wait at once,
// and what a call given up on produced is released when it ends, not leaked and not used.
TEST(AbortableCall, BoundedAbortableAndNothingLeaks) {
  CMNC::AbortSignal abort;
  auto result = std::make_shared<int>(0);
  EXPECT_EQ(AbortableCall::run(abort, 1000, [result] { *result = 7; }), AbortableCall::Outcome::Done);
  EXPECT_EQ(*result, 7);

  std::atomic<int> released{0};
  std::promise<void> finish;
  std::shared_future<void> finished = finish.get_future().share();
  auto start = steady_clock::now();
  EXPECT_EQ(AbortableCall::run(abort, 100,
                               [finished, product = std::make_shared<Product>(released)] { finished.wait(); }),
            AbortableCall::Outcome::Timeout);
  EXPECT_LT(steady_clock::now() - start, milliseconds(1000));
  EXPECT_EQ(released.load(), 0);  // still running on its helper thread

  std::thread stopper([&abort] {
    std::this_thread::sleep_for(milliseconds(50));
    abort.trigger();
  });
  start = steady_clock::now();
  EXPECT_EQ(AbortableCall::run(abort, 60000,
                               [finished, product = std::make_shared<Product>(released)] { finished.wait(); }),
            AbortableCall::Outcome::Aborted);
  EXPECT_LT(steady_clock::now() - start, milliseconds(1000));  // not the minute
  stopper.join();
  EXPECT_EQ(AbortableCall::run(abort, 1000, [] {}), AbortableCall::Outcome::Aborted);  // the latch stays

  finish.set_value();
  for (int i = 0; i < 200 && released.load() < 2; ++i) std::this_thread::sleep_for(milliseconds(5));
  EXPECT_EQ(released.load(), 2);
}

// A TCP open by host name stopped from another thread returns promptly, whatever the name
// service does (here it may have no network at all).
TEST(AbortableCall, TcpOpenByNameIsStoppable) {
  CMNC::CTcpipPort port;
  std::thread stopper([&port] {
    std::this_thread::sleep_for(milliseconds(50));
    port.Purge(CMNC::kPurgeRxAbort);
  });
  const auto start = steady_clock::now();
  EXPECT_FALSE(port.Open("receiver.vestrel-test.invalid:8002:pw"));
  EXPECT_LT(steady_clock::now() - start, milliseconds(1000));
  stopper.join();
}
