#pragma once
// One of a Windows child's output streams: the read end of an overlapped named pipe and a reader
// thread that moves what the child writes into a bounded buffer and wakes the fleet's wait.
#include <windows.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "ChildProcess.h"

class ChildWait;

class ChildStream {
 public:
  ChildStream() = default;
  ~ChildStream();
  ChildStream(const ChildStream&) = delete;
  ChildStream& operator=(const ChildStream&) = delete;

  // Makes the pipe; the write end (inheritable, for the child) is returned; null on failure.
  HANDLE open(const std::wstring& name);
  // Starts the reader once the child holds the write end.
  void startReading(ChildWait& wait);
  ChildProcess::Read take(char* buffer, std::size_t size, std::size_t& got);
  bool isOpen() const;
  // The reader has met the pipe's end (or the stream was closed): nothing more will come.
  bool readerDone() const;
  // Stops the reader (a read under way is cancelled) and closes the pipe.
  void close();

 private:
  void readLoop(ChildWait& wait);

  HANDLE pipe_ = nullptr;
  HANDLE cancel_ = nullptr;  // set by close(): ends a read under way
  std::thread reader_;
  mutable std::mutex mutex_;
  std::condition_variable room_;
  std::string buffered_;
  bool ended_ = false;   // the child closed its end (or the read failed)
  bool closed_ = false;  // close() was called
};

