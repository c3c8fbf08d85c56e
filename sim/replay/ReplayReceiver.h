#pragma once
#include <cstdint>
#include <deque>
#include <fstream>
#include <string>
#include <vector>

// The receiver's side of an exchange recording (docs/recording.md), played back to a loader: each
// write the recording holds is awaited and compared byte by byte, each read is sent in its
// recorded piece after its recorded gap, a link the receiver dropped is dropped (TCP/IP). At the
// first byte that differs from the recording it reports where (the recording's line, the byte in
// that write, what was expected and what came, as hex and text) and goes silent. The recording is
// read as a stream, one event ahead, so its size does not matter; a line is bounded, time stamps
// are checked, and a recording that ends before the port's close is told as truncated.
class ReplayReceiver {
 public:
  // Opens the recording and reads its header; check error().
  explicit ReplayReceiver(const std::string& path);
  const std::string& error() const { return error_; }
  const std::string& link() const { return link_; }  // "serial" or "tcpip"

  // The loader's side: a pseudo-terminal (serial recordings) or 127.0.0.1:port (TCP/IP; 0 picks).
  bool openPty(std::string& error);
  bool listenTcp(int port, std::string& error);
  const std::string& ptyPath() const { return ptyPath_; }
  int tcpPort() const { return tcpPort_; }

  // Plays the recording until it ends or stopRequested is set; returns the report ("" when the
  // loader sent what the recording holds).
  std::string run(const volatile int& stopRequested);
  // Silent: takes what the loader sends and answers nothing, until stopRequested is set.
  void idle(const volatile int& stopRequested);

 private:
  struct Event {
    double seconds = 0;
    std::string word;
    std::string rest;
    int line = 0;
  };
  enum class LineRead { Line, End, Unended, TooLong };
  LineRead readLine(std::string& line);
  bool nextEvent(Event& event);
  bool awaitBytes(const Event& event, const std::vector<uint8_t>& expected, const volatile int& stop);
  bool awaitPassword(const volatile int& stop);
  int receive(uint8_t* buffer, int size, int waitMs, const volatile int& stop);
  void send(const std::vector<uint8_t>& bytes);
  bool acceptLoader(const volatile int& stop);
  void dropLoader();
  void mismatch(const Event& event, std::size_t at, const std::vector<uint8_t>& expected, const std::vector<uint8_t>& sent);

  std::ifstream in_;
  int lineNumber_ = 0;
  double lastSeconds_ = 0;  // the last event's time stamp
  std::string lastWord_;    // the last event's word
  std::string error_;
  std::string link_;
  std::string report_;
  std::deque<uint8_t> pending_;  // bytes from the loader not compared yet
  int lastWritten_ = -1;         // the last byte of the last write the recording holds
  int droppedRepeat_ = -1;       // after a purge of the loader's output: this byte may come any number of times
  int master_ = -1, slave_ = -1, listen_ = -1, client_ = -1;
  std::string ptyPath_;
  int tcpPort_ = 0;
};
