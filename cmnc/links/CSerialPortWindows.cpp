// The serial link on Windows: a COM device through the communications API, driven the way the
// loader always has: the driver's queue sizes, the line settings, and five communications
// time-outs that decide when a read or write ends, handed to the driver only when they change.
// I/O is synchronous, as written. A stop (Purge with the abort flags, from another thread) cancels
// a read or write that is waiting; where a cancelled call runs on (Wine cancels neither), or the
// stop lands between the look at the latch and the call, every read and write is cut into driver
// calls of at most kSliceMs, and the latch is looked at between them: a stop is seen within one
// slice whatever the line does (a receiver that never drains it included).
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <array>
#include <atomic>
#include <mutex>

#include "BridgeLatch.h"
#include "CSerialPort.h"
#include "Clock.h"
#include "LinkTiming.h"
#include "WindowsText.h"

namespace CMNC {
namespace {

constexpr DWORD kInputQueueBytes = 10240;
constexpr DWORD kOutputQueueBytes = 1024;
constexpr COMMTIMEOUTS kInitialTimeouts = {50, 0, 1000, 200, 100};  // interval, read x/+, write x/+ (ms)
constexpr DWORD kPollInterval = MAXDWORD;                           // with a total of 0: return what is there
constexpr int64_t kSliceMs = 100;  // a read or write waits at most this long in one driver call, then looks for a stop

// Device I/O control of the USB-serial bridge's driver.
constexpr DWORD kIoctlBridgeConfig = 0x222014;
constexpr DWORD kIoctlVendorIn = 0x222028;
constexpr DWORD kIoctlVendorOut = 0x222024;
constexpr DWORD kBridgeConfigBytes = 360;
constexpr std::size_t kBridgeConfigFlagByte = 18;
constexpr uint8_t kLatchPartNumber = 3;

bool sameTimeouts(const COMMTIMEOUTS& a, const COMMTIMEOUTS& b) {
  return a.ReadIntervalTimeout == b.ReadIntervalTimeout && a.ReadTotalTimeoutMultiplier == b.ReadTotalTimeoutMultiplier &&
         a.ReadTotalTimeoutConstant == b.ReadTotalTimeoutConstant &&
         a.WriteTotalTimeoutMultiplier == b.WriteTotalTimeoutMultiplier &&
         a.WriteTotalTimeoutConstant == b.WriteTotalTimeoutConstant;
}

// One device I/O control, to its end.
bool ioControl(HANDLE handle, DWORD code, void* in, DWORD inSize, void* out, DWORD outSize) {
  DWORD got = 0;
  return ::DeviceIoControl(handle, code, in, inSize, out, outSize, &got, nullptr) != 0;
}

int queryBridgeConfig(HANDLE handle, uint8_t& flag) {
  if (handle == INVALID_HANDLE_VALUE) return kBridgeInvalidHandle;
  std::array<uint8_t, kBridgeConfigBytes> config{};
  if (!ioControl(handle, kIoctlBridgeConfig, nullptr, 0, config.data(), kBridgeConfigBytes)) return kBridgeRequestFailed;
  const uint8_t mode = config[kBridgeConfigFlagByte] & 0x0F;
  flag = mode == 2 || mode == 3 ? 1 : 0;
  return kBridgeDone;
}

int bridgePartNumber(HANDLE handle, uint8_t& part) {
  uint8_t flag = 0;
  if (const int status = queryBridgeConfig(handle, flag); status != kBridgeDone) return status;
  part = 1;
  if (flag == 1) return kBridgeDone;
  // Vendor request 0xFF, device to host, value 0x370B, index 0, one byte back.
  std::array<uint8_t, 9> request = {0xC0, 0xFF, 0x0B, 0x37, 0x00, 0x00, 0x01, 0x00, 0x00};
  if (!ioControl(handle, kIoctlVendorIn, request.data(), 9, request.data(), 9)) return kBridgeRequestFailed;
  part = request[8];
  return kBridgeDone;
}

}  // namespace

struct CSerialPort::Private {
  Private() : abortEvent(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  ~Private() {
    if (abortEvent) ::CloseHandle(abortEvent);
  }
  Private(const Private&) = delete;
  Private& operator=(const Private&) = delete;

  void apply(const COMMTIMEOUTS& wanted) {
    if (sameTimeouts(wanted, applied)) return;
    COMMTIMEOUTS copy = wanted;
    if (::SetCommTimeouts(handle, &copy)) applied = wanted;
  }

  // One synchronous read or write, ended by the driver's time-outs or by a stop, which cancels
  // it from the stopping thread. The count moved, or -1 (lastError says why).
  int transfer(bool reading, void* data, DWORD size) {
    const HANDLE self = ::OpenThread(THREAD_TERMINATE, FALSE, ::GetCurrentThreadId());
    {
      std::lock_guard<std::mutex> lock(ioMutex);
      ioThread = self;
    }
    DWORD moved = 0;
    const BOOL ok = aborted ? FALSE
                            : reading ? ::ReadFile(handle, data, size, &moved, nullptr)
                                      : ::WriteFile(handle, data, size, &moved, nullptr);
    const DWORD code = ok ? 0 : ::GetLastError();
    {
      std::lock_guard<std::mutex> lock(ioMutex);
      ioThread = nullptr;
    }
    if (self) ::CloseHandle(self);
    if (!ok || aborted) return fail(aborted ? ERROR_OPERATION_ABORTED : code);
    return static_cast<int>(moved);
  }

  // From the stopping thread: a read or write under way ends now.
  void cancel() {
    std::lock_guard<std::mutex> lock(ioMutex);
    if (ioThread) ::CancelSynchronousIo(ioThread);
  }

  int readSliced(uint8_t* buffer, int size, int64_t totalMs, int64_t gapMs);
  int writeSliced(const uint8_t* data, int size, int64_t totalMs);

  int fail(DWORD code) {
    lastError = code;
    return -1;
  }

  HANDLE handle = INVALID_HANDLE_VALUE;
  COMMTIMEOUTS applied{};
  const HANDLE abortEvent;  // manual reset: a stopped port stays stopped
  std::atomic<bool> aborted{false};
  std::mutex ioMutex;        // guards ioThread
  HANDLE ioThread = nullptr;  // the thread inside ReadFile or WriteFile
  DWORD lastError = 0;
  int64_t lineFreeAtMs = 0;  // when the bytes written so far have left at the line rate
};

CSerialPort::CSerialPort() : d_(std::make_unique<Private>()) {}

CSerialPort::~CSerialPort() { Close(); }

bool CSerialPort::IsOpen() const { return d_->handle != INVALID_HANDLE_VALUE; }

std::string CSerialPort::ResolveDevicePath(const std::string& name) {
  if (!name.empty() && name[0] == '\\') return name;
  return "\\\\.\\" + name;
}

std::string CSerialPort::DeviceIdentity(const std::string& name) {
  std::string port = name.rfind("\\\\.\\", 0) == 0 ? name.substr(4) : name;
  std::transform(port.begin(), port.end(), port.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return port;
}

bool CSerialPort::Open(const std::string& address) {
  if (d_->aborted) return false;  // a stopped port stays stopped
  Close();
  const HANDLE handle = ::CreateFileW(windowstext::wide(ResolveDevicePath(address)).c_str(), GENERIC_READ | GENERIC_WRITE,
                                      0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD code = ::GetLastError();
    std::string text = windowstext::systemMessage(code);
    if (code == ERROR_ACCESS_DENIED) text += "The port " + address + " is in use by another program: close it first.";
    else if (code == ERROR_FILE_NOT_FOUND) text += "Check the port name and that the device is plugged in.";
    SetErrorText(text);
    return false;
  }
  d_->handle = handle;
  // Failures from here on do not fail the open.
  ::SetupComm(handle, kInputQueueBytes, kOutputQueueBytes);
  COMMTIMEOUTS initial = kInitialTimeouts;
  if (::SetCommTimeouts(handle, &initial)) d_->applied = kInitialTimeouts;
  SetSpeed(timing::kSerialInitialRate);
  return true;
}

void CSerialPort::Close() {
  if (!IsOpen()) return;
  ::EscapeCommFunction(d_->handle, CLRDTR);
  ::CloseHandle(d_->handle);
  d_->handle = INVALID_HANDLE_VALUE;
}

bool CSerialPort::SetSpeed(int rate) {
  if (!IsOpen()) return false;
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  bool ok = false;
  if (rate > 0 && ::GetCommState(d_->handle, &dcb)) {
    // Every field the line's bytes depend on is set, none left as the port's last user left it:
    // no byte dropped (fNull), replaced (fErrorChar) or taken as an end or an event.
    dcb.fBinary = TRUE;
    dcb.fNull = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fTXContinueOnXoff = TRUE;
    dcb.ErrorChar = 0;
    dcb.EofChar = 0;
    dcb.EvtChar = 0;
    dcb.fParity = FALSE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fAbortOnError = FALSE;
    dcb.BaudRate = static_cast<DWORD>(rate);
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    ok = ::SetCommState(d_->handle, &dcb) != 0;
  }
  characterTimeMs_ = CharacterTimeFor(rate);
  if (ok) rate_ = rate;
  return ok;
}

// A read whose time-outs the driver applies in slices of at most kSliceMs, so that a stop is seen
// within one slice even where a cancelled call runs on (Wine): the first byte may take the whole
// total; after it the read ends once the gap has passed without a byte, or at the total.
int CSerialPort::Private::readSliced(uint8_t* buffer, int size, int64_t totalMs, int64_t gapMs) {
  Clock& clock = Clock::system();
  const int64_t start = clock.nowMs();
  int64_t lastByte = start;
  int got = 0;
  while (got < size && !aborted) {
    const int64_t now = clock.nowMs();
    const int64_t limit = got == 0 ? start + totalMs - now : std::min(start + totalMs, lastByte + gapMs) - now;
    if (limit <= 0) break;
    const int64_t slice = std::min(limit, kSliceMs);
    COMMTIMEOUTS wanted = applied;
    wanted.ReadIntervalTimeout = static_cast<DWORD>(gapMs);
    wanted.ReadTotalTimeoutMultiplier = 0;
    wanted.ReadTotalTimeoutConstant = static_cast<DWORD>(slice);
    apply(wanted);
    const int64_t callStart = clock.nowMs();
    const int n = transfer(true, buffer + got, static_cast<DWORD>(size - got));
    if (n < 0) return got > 0 && !aborted ? got : -1;
    if (n == 0) continue;
    got += n;
    lastByte = clock.nowMs();
    if (lastByte - callStart < slice) break;  // the driver ended it early: the gap passed
  }
  return aborted ? -1 : got;
}

int CSerialPort::Read(uint8_t* buffer, int size, int timeoutMs, int intervalMs) {
  if (!IsOpen() || d_->aborted) return -1;
  if (size <= 0) return 0;
  int gap = intervalMs < 0 ? characterTimeMs_ : intervalMs > 0 ? std::max(intervalMs, characterTimeMs_) : 0;
  gap = std::max(gap, timing::kSerialMinGapMs);
  const int total = timeoutMs < 0 ? timing::kSerialDefaultReadMs : timeoutMs;
  if (timeoutMs != 0) return d_->readSliced(buffer, size, total, gap);
  COMMTIMEOUTS poll = d_->applied;  // what the driver holds, at once
  poll.ReadIntervalTimeout = kPollInterval;
  poll.ReadTotalTimeoutMultiplier = 0;
  poll.ReadTotalTimeoutConstant = 0;
  d_->apply(poll);
  return d_->transfer(true, buffer, static_cast<DWORD>(size));
}

int CSerialPort::ReadReply(uint8_t* buffer, int size, int timeoutMs, int gapUs) {
  if (!IsOpen() || d_->aborted) return -1;
  if (size <= 0) return 0;
  // The driver counts in milliseconds: the quiet gap is rounded up to one at least.
  const int64_t us = gapUs < 0 ? ReplyGapMicrosFor(rate_) : gapUs;
  const int64_t gapMs = std::max<int64_t>(1, (us + 999) / 1000);
  const int total = timeoutMs < 0 ? timing::kSerialDefaultReadMs : std::max(timeoutMs, 1);
  return d_->readSliced(buffer, size, total, gapMs);
}

// A write whose time-out the driver applies in slices of at most kSliceMs: the bytes the driver
// took count, the rest goes in the next slice, until all are taken, the total has passed or a
// stop came. A total of 0 still gives the driver one slice of its own.
int CSerialPort::Private::writeSliced(const uint8_t* data, int size, int64_t totalMs) {
  Clock& clock = Clock::system();
  const int64_t deadline = clock.nowMs() + std::max<int64_t>(totalMs, 1);
  int done = 0;
  while (done < size && !aborted) {
    const int64_t limit = deadline - clock.nowMs();
    if (limit <= 0) break;
    COMMTIMEOUTS wanted = applied;
    wanted.WriteTotalTimeoutMultiplier = 0;
    wanted.WriteTotalTimeoutConstant = static_cast<DWORD>(std::min(limit, kSliceMs));
    apply(wanted);
    const int n = transfer(false, const_cast<uint8_t*>(data + done), static_cast<DWORD>(size - done));
    if (n < 0) return done > 0 && !aborted ? done : -1;
    done += n;
  }
  return aborted ? -1 : done;
}

int CSerialPort::Write(const uint8_t* data, int size, int timeoutMs) {
  if (!IsOpen() || d_->aborted) return -1;
  if (size <= 0) return 0;
  const int64_t total = timeoutMs < 0 ? int64_t{timing::kSerialWriteMsPerByte} * size + timing::kSerialWriteConstMs
                                      : int64_t{timeoutMs};
  const int n = d_->writeSliced(data, size, total);
  if (n < 0) {
    if (!d_->aborted) SetErrorText(windowstext::systemMessage(d_->lastError));
    return -1;
  }
  Clock& clock = Clock::system();
  if (rate_ > 0)  // ten bits a byte on the line
    d_->lineFreeAtMs = std::max(d_->lineFreeAtMs, clock.nowMs()) + (static_cast<int64_t>(n) * 10000 + rate_ - 1) / rate_;
  return n;
}

bool CSerialPort::Purge(uint32_t flags) {
  // The abort comes from another thread, also while Open runs: it touches the latch only.
  if (flags & (kPurgeTxAbort | kPurgeRxAbort)) {
    d_->aborted = true;
    ::SetEvent(d_->abortEvent);
    d_->cancel();
  }
  const DWORD clear = flags & (kPurgeTxClear | kPurgeRxClear);
  if (!clear || !IsOpen()) return true;
  return ::PurgeComm(d_->handle, clear) != 0;
}

bool CSerialPort::Drain(int timeoutMs) {
  if (!IsOpen() || d_->aborted) return false;
  Clock& clock = Clock::system();
  const int64_t deadline = clock.nowMs() + std::max(timeoutMs, 0);
  for (;;) {
    COMSTAT status{};
    DWORD errors = 0;
    const bool queueEmpty = !::ClearCommError(d_->handle, &errors, &status) || status.cbOutQue == 0;
    if (queueEmpty && clock.nowMs() >= d_->lineFreeAtMs) return true;
    if (clock.nowMs() >= deadline) return false;
    if (::WaitForSingleObject(d_->abortEvent, 2) == WAIT_OBJECT_0) return false;
  }
}

int CSerialPort::SetBridgeLatch(uint8_t mask, uint8_t state) {
  uint8_t part = 0;
  if (bridgePartNumber(d_->handle, part) != kBridgeDone) return kBridgePartQueryFailed;
  if (part != kLatchPartNumber) return kBridgeWrongPart;
  // Vendor request 0xFF, host to device, value 0x37E1, index: the mask and the state.
  std::array<uint8_t, 8> request = {0x40, 0xFF, 0xE1, 0x37, mask, state, 0x00, 0x00};
  if (!ioControl(d_->handle, kIoctlVendorOut, request.data(), 8, request.data(), 8)) return kBridgeRequestFailed;
  return kBridgeDone;
}

}  // namespace CMNC
