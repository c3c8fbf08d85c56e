#include "ChildStreamWindows.h"

#include <sddl.h>

#include <vector>

#include "ChildWait.h"

namespace {
constexpr DWORD kReadChunk = 65536;
// What a reader holds before it waits for the fleet to take some: a child that floods its output
// costs the fleet this much memory at most.
constexpr std::size_t kMaxBuffered = 1024 * 1024;
constexpr DWORD kPipeBuffer = 65536;
// What only this process's user may open: a security descriptor whose access list names that
// user alone (not the default list, which lets others of the machine in).
class UserOnly {
 public:
  UserOnly() {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return;
    DWORD size = 0;
    ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> user(size);
    wchar_t* sid = nullptr;
    if (size > 0 && ::GetTokenInformation(token, TokenUser, user.data(), size, &size) &&
        ::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, &sid)) {
      const std::wstring sddl = L"D:P(A;;GA;;;" + std::wstring(sid) + L")";
      ::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor_, nullptr);
      ::LocalFree(sid);
    }
    ::CloseHandle(token);
  }
  ~UserOnly() {
    if (descriptor_) ::LocalFree(descriptor_);
  }
  UserOnly(const UserOnly&) = delete;
  UserOnly& operator=(const UserOnly&) = delete;
  PSECURITY_DESCRIPTOR descriptor() const { return descriptor_; }

 private:
  PSECURITY_DESCRIPTOR descriptor_ = nullptr;
};

}  // namespace

ChildStream::~ChildStream() { close(); }

HANDLE ChildStream::open(const std::wstring& name) {
  const UserOnly access;
  SECURITY_ATTRIBUTES mine{sizeof mine, access.descriptor(), FALSE};
  pipe_ = ::CreateNamedPipeW(name.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
                             PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1, 0, kPipeBuffer,
                             0, access.descriptor() ? &mine : nullptr);
  if (pipe_ == INVALID_HANDLE_VALUE) {
    pipe_ = nullptr;
    return nullptr;
  }
  cancel_ = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  const HANDLE write = ::CreateFileW(name.c_str(), GENERIC_WRITE, 0, &inherit, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  return write == INVALID_HANDLE_VALUE ? nullptr : write;
}

void ChildStream::startReading(ChildWait& wait) {
  reader_ = std::thread([this, &wait] { readLoop(wait); });
}

void ChildStream::readLoop(ChildWait& wait) {
  const HANDLE done = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::string chunk(kReadChunk, '\0');
  for (;;) {
    OVERLAPPED overlapped{};
    overlapped.hEvent = done;
    ::ResetEvent(done);
    DWORD got = 0;
    bool ok = ::ReadFile(pipe_, chunk.data(), kReadChunk, nullptr, &overlapped) != 0;
    if (!ok && ::GetLastError() == ERROR_IO_PENDING) {
      const HANDLE events[2] = {done, cancel_};
      if (::WaitForMultipleObjects(2, events, FALSE, INFINITE) != WAIT_OBJECT_0) {
        ::CancelIoEx(pipe_, &overlapped);
        ::GetOverlappedResult(pipe_, &overlapped, &got, TRUE);
        break;
      }
      ok = true;
    }
    ok = ok && ::GetOverlappedResult(pipe_, &overlapped, &got, TRUE) != 0;
    if (!ok && ::GetLastError() == ERROR_MORE_DATA) ok = true;
    if (!ok) break;  // the child closed its end: ERROR_BROKEN_PIPE
    if (got == 0) continue;
    std::unique_lock<std::mutex> lock(mutex_);
    room_.wait(lock, [this] { return buffered_.size() < kMaxBuffered || closed_; });
    if (closed_) break;
    buffered_.append(chunk.data(), got);
    lock.unlock();
    wait.wake();
  }
  ::CloseHandle(done);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ended_ = true;
  }
  wait.wake();
}

ChildProcess::Read ChildStream::take(char* buffer, std::size_t size, std::size_t& got) {
  got = 0;
  std::lock_guard<std::mutex> lock(mutex_);
  if (!pipe_ || closed_) return ChildProcess::Read::Ended;
  if (buffered_.empty()) return ended_ ? ChildProcess::Read::Ended : ChildProcess::Read::Nothing;
  got = std::min(size, buffered_.size());
  buffered_.copy(buffer, got);
  buffered_.erase(0, got);
  room_.notify_one();
  return ChildProcess::Read::Data;
}

bool ChildStream::isOpen() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return pipe_ && !closed_;
}

bool ChildStream::readerDone() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return ended_ || closed_ || !pipe_;
}

void ChildStream::close() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
  }
  room_.notify_one();
  if (cancel_) ::SetEvent(cancel_);
  if (reader_.joinable()) reader_.join();
  for (HANDLE* h : {&pipe_, &cancel_}) {
    if (*h) ::CloseHandle(*h);
    *h = nullptr;
  }
}
