#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "RecordingPort.h"
#include "FileText.h"
#include "TempDir.h"

using namespace CMNC;

namespace {

// A port with a login whose reads give what the test queued.
class ScriptedPort final : public CAbstractReceiverPort {
 public:
  std::string replies;
  bool IsOpen() const override { return open_; }
  bool Open(const std::string&) override { return open_ = true; }
  void Close() override { open_ = false; }
  int Read(uint8_t* buffer, int size, int, int) override {
    if (replies.empty()) {
      SetErrorText("The receiver closed the link.");
      return -1;
    }
    const int n = std::min(size, static_cast<int>(replies.size()));
    std::copy_n(replies.begin(), n, buffer);
    replies.erase(0, static_cast<std::size_t>(n));
    return n;
  }
  int Write(const uint8_t*, int size, int) override { return size; }
  bool Purge(uint32_t) override { return true; }
  Capabilities capabilities() const override { return {false, false, true, false}; }
  std::string LoginPassword() const override { return "s3cret"; }

 private:
  bool open_ = false;
};

}  // namespace

// Every call crosses the boundary into the recording, the password as a placeholder only; the real
// port's error text reaches the channel.
TEST(RecordingPort, KeepsEveryExchangeButThePassword) {
  TempDir dir;
  std::string error;
  auto recorder = ExchangeRecorder::create(dir.file("run.rec"), error);
  ASSERT_TRUE(recorder) << error;
  recorder->header("vestrel 1.0.0", "tcpip", "tcp:rover:8002", {{"method", "fldp"}});
  auto scripted = std::make_unique<ScriptedPort>();
  scripted->replies = "RE002%%\r\n";
  RecordingPort port(std::move(scripted), recorder);
  ASSERT_TRUE(port.Open("rover:8002"));
  const std::string password = "s3cret", command = "%%print,/par/rcv/id\n";
  port.Write(reinterpret_cast<const uint8_t*>(password.data()), static_cast<int>(password.size()), 100);
  port.Write(reinterpret_cast<const uint8_t*>(command.data()), static_cast<int>(command.size()), 100);
  uint8_t buffer[16];
  EXPECT_EQ(port.Read(buffer, 4, 100, 0), 4);
  EXPECT_EQ(port.Read(buffer, 16, 100, 0), 5);
  EXPECT_EQ(port.Read(buffer, 16, 100, 0), -1);
  EXPECT_EQ(port.GetErrorText(), "The receiver closed the link.");
  port.Purge(kPurgeRxClear);
  port.Close();

  const std::string text = fileText(dir.file("run.rec"));
  EXPECT_EQ(text.rfind("vestrel-recording 1\nprogram vestrel 1.0.0\nlink tcpip\nport tcp:rover:8002\nsetting method fldp\n", 0), 0u)
      << text;
  EXPECT_EQ(text.find("s3cret"), std::string::npos);
  EXPECT_EQ(text.find(ExchangeRecorder::hex(reinterpret_cast<const uint8_t*>(password.data()), 6)), std::string::npos);
  for (const std::string& event : {std::string(" open ok\n"), std::string(" password\n"),
                                   " write " + ExchangeRecorder::hex(reinterpret_cast<const uint8_t*>(command.data()),
                                                                     static_cast<int>(command.size())) + "\n",
                                   std::string(" 52453030\n"), std::string(" 3225250d0a\n"),
                                   std::string(" error The receiver closed the link.\n"), std::string(" purge 8\n"),
                                   std::string(" close\n")})
    EXPECT_NE(text.find(event), std::string::npos) << event << " in\n" << text;
}
