#pragma once
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "CommandChannel.h"
#include "VirtualReceiver.h"

// A virtual receiver on a pseudo-terminal (and a loopback TCP port) for one test.
class SimFixture : public ::testing::Test {
 protected:
  void startReceiver(ReceiverConfig config = {}, bool tcp = false) {
    receiver = std::make_unique<VirtualReceiver>(config);
    std::string error;
    ASSERT_TRUE(receiver->startPty(error)) << error;
    if (tcp) {
      ASSERT_TRUE(receiver->startTcp(0, error)) << error;
    }
    receiver->run();
  }
  void TearDown() override {
    if (receiver) receiver->stop();
  }
  PortEntry serialEntry() const { return {receiver->ptyPath(), "virtual receiver", receiver->ptyPath(), ConnectionKind::Serial}; }
  PortEntry tcpEntry(const std::string& password = "vestrel") const {
    return {"TCP", "virtual receiver", "127.0.0.1:" + std::to_string(receiver->tcpPort()) + ":" + password,
            ConnectionKind::Tcpip};
  }
  std::unique_ptr<VirtualReceiver> receiver;
};

// Waits up to a second for what the receiver does after the loader moved on (a command sent
// without waiting for an answer is still on its way when the run ends).
template <typename Predicate>
bool eventually(Predicate done) {
  for (int i = 0; i < 100; ++i) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return done();
}
