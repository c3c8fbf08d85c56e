#include "UsbBackend.h"

// The Windows side of the USB link: WinUSB, loaded at run time from "winusb.dll" so that the
// program starts on a computer without it. A receiver's device is opened by its interface path
// (the port enumeration's address). Each transfer is overlapped and waits at most its
// slice; a slice that ends aborts the pipe and collects what moved before it, so no I/O is
// outstanding between calls.
#include <windows.h>
#include <winusb.h>

#include <array>

#include "CAbstractReceiverPort.h"
#include "WindowsText.h"

namespace CMNC {
namespace {

// WinUsb_Initialize gives the device's first interface (interface 0); its default setting.
constexpr UCHAR kAlternateSetting = 0;
constexpr ULONG kWritePipeTimeoutMs = 5000;

// The library's functions, looked up by name in this order; the table counts only when every one
// was found.
constexpr std::array<const char*, 20> kFunctionNames = {
    "WinUsb_Initialize",        "WinUsb_Free",
    "WinUsb_QueryInterfaceSettings", "WinUsb_QueryPipe",
    "WinUsb_SetPipePolicy",     "WinUsb_ReadPipe",
    "WinUsb_WritePipe",         "WinUsb_AbortPipe",
    "WinUsb_FlushPipe",         "WinUsb_GetAssociatedInterface",
    "WinUsb_GetDescriptor",     "WinUsb_QueryDeviceInformation",
    "WinUsb_GetOverlappedResult", "WinUsb_GetCurrentAlternateSetting",
    "WinUsb_SetCurrentAlternateSetting", "WinUsb_GetPipePolicy",
    "WinUsb_ControlTransfer",   "WinUsb_ResetPipe",
    "WinUsb_SetPowerPolicy",    "WinUsb_GetPowerPolicy"};
// Their places in the table, in the same order.
enum Function {
  kInitialize, kFree, kQueryInterfaceSettings, kQueryPipe, kSetPipePolicy, kReadPipe, kWritePipe, kAbortPipe,
  kFlushPipe, kGetAssociatedInterface, kGetDescriptor, kQueryDeviceInformation, kGetOverlappedResult,
  kGetCurrentAlternateSetting, kSetCurrentAlternateSetting, kGetPipePolicy, kControlTransfer, kResetPipe,
  kSetPowerPolicy, kGetPowerPolicy, kFunctionCount
};
static_assert(kFunctionCount == kFunctionNames.size());

using InitializeFn = BOOL(WINAPI*)(HANDLE, PWINUSB_INTERFACE_HANDLE);
using FreeFn = BOOL(WINAPI*)(WINUSB_INTERFACE_HANDLE);
using QueryInterfaceSettingsFn = BOOL(WINAPI*)(WINUSB_INTERFACE_HANDLE, UCHAR, PUSB_INTERFACE_DESCRIPTOR);
using QueryPipeFn = BOOL(WINAPI*)(WINUSB_INTERFACE_HANDLE, UCHAR, UCHAR, PWINUSB_PIPE_INFORMATION);
using SetPipePolicyFn = BOOL(WINAPI*)(WINUSB_INTERFACE_HANDLE, UCHAR, ULONG, ULONG, PVOID);
using PipeIoFn = BOOL(WINAPI*)(WINUSB_INTERFACE_HANDLE, UCHAR, PUCHAR, ULONG, PULONG, LPOVERLAPPED);
using PipeFn = BOOL(WINAPI*)(WINUSB_INTERFACE_HANDLE, UCHAR);
using GetOverlappedResultFn = BOOL(WINAPI*)(WINUSB_INTERFACE_HANDLE, LPOVERLAPPED, LPDWORD, BOOL);
using SetPowerPolicyFn = BOOL(WINAPI*)(WINUSB_INTERFACE_HANDLE, ULONG, ULONG, PVOID);

std::string lastErrorText() { return windowstext::systemMessageLine(::GetLastError()); }

}  // namespace

struct UsbBackend::Impl {
  HMODULE module = nullptr;
  std::array<FARPROC, kFunctionNames.size()> functions{};

  HANDLE device = INVALID_HANDLE_VALUE;
  WINUSB_INTERFACE_HANDLE usb = nullptr;
  HANDLE writeEvent = nullptr;
  HANDLE readEvent = nullptr;
  UCHAR readPipe = 0;
  UCHAR writePipe = 0;
  UCHAR interruptPipe = 0;

  template <typename Fn>
  Fn fn(Function which) const {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(functions[which]));
  }
  bool findPipes();
  UsbTransfer transfer(Function io, UCHAR pipe, HANDLE event, uint8_t* buffer, int size, int sliceMs);
};

bool UsbBackend::Impl::findPipes() {
  USB_INTERFACE_DESCRIPTOR descriptor{};
  if (!fn<QueryInterfaceSettingsFn>(kQueryInterfaceSettings)(usb, kAlternateSetting, &descriptor)) return false;
  for (UCHAR i = 0; i < descriptor.bNumEndpoints; ++i) {
    WINUSB_PIPE_INFORMATION pipe{};
    if (!fn<QueryPipeFn>(kQueryPipe)(usb, kAlternateSetting, i, &pipe)) return false;
    if (pipe.PipeType == UsbdPipeTypeBulk && USB_ENDPOINT_DIRECTION_IN(pipe.PipeId)) readPipe = pipe.PipeId;
    else if (pipe.PipeType == UsbdPipeTypeBulk) writePipe = pipe.PipeId;
    else if (pipe.PipeType == UsbdPipeTypeInterrupt) interruptPipe = pipe.PipeId;
    else return false;  // an isochronous or control endpoint in interface 0
  }
  return readPipe != 0 && writePipe != 0;
}

UsbTransfer UsbBackend::Impl::transfer(Function io, UCHAR pipe, HANDLE event, uint8_t* buffer, int size, int sliceMs) {
  UsbTransfer t;
  // Manual-reset events: the wait below leaves the event signalled, so the result's own wait
  // (bWait TRUE, after a cancel too) returns once the transfer is over, as WinUSB documents.
  ::ResetEvent(event);
  OVERLAPPED overlapped{};
  overlapped.hEvent = event;
  ULONG moved = 0;
  if (!fn<PipeIoFn>(io)(usb, pipe, buffer, static_cast<ULONG>(size), &moved, &overlapped) &&
      ::GetLastError() != ERROR_IO_PENDING) {
    const DWORD error = ::GetLastError();
    t.status = error == ERROR_DEVICE_NOT_CONNECTED || error == ERROR_BAD_COMMAND || error == ERROR_GEN_FAILURE
                   ? UsbTransfer::Status::Unplugged
                   : UsbTransfer::Status::Failed;
    t.error = lastErrorText();
    return t;
  }
  if (::WaitForSingleObject(event, static_cast<DWORD>(sliceMs)) != WAIT_OBJECT_0) {
    fn<PipeFn>(kAbortPipe)(usb, pipe);  // the slice is over: cancel, then collect what moved before it
    t.status = UsbTransfer::Status::Timeout;
  }
  DWORD done = 0;
  if (!fn<GetOverlappedResultFn>(kGetOverlappedResult)(usb, &overlapped, &done, TRUE) &&
      t.status != UsbTransfer::Status::Timeout) {
    t.status = UsbTransfer::Status::Failed;
    t.error = lastErrorText();
  }
  t.transferred = static_cast<int>(done);
  return t;
}

UsbBackend::UsbBackend() : d_(std::make_unique<Impl>()) {
  d_->module = ::LoadLibraryExW(L"winusb.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);  // never a planted one
  if (!d_->module) return;
  for (std::size_t i = 0; i < kFunctionNames.size(); ++i) {
    d_->functions[i] = ::GetProcAddress(d_->module, kFunctionNames[i]);
    if (!d_->functions[i]) {  // a library without every function does not count
      ::FreeLibrary(d_->module);
      d_->module = nullptr;
      d_->functions = {};
      return;
    }
  }
}

UsbBackend::~UsbBackend() {
  close();
  if (d_->module) ::FreeLibrary(d_->module);
}

bool UsbBackend::available() const { return d_->module != nullptr; }
bool UsbBackend::isOpen() const { return d_->usb != nullptr && d_->writeEvent && d_->readEvent; }

bool UsbBackend::open(const std::string& address, std::string& error) {
  const std::string& path = address;  // the enumeration's device path
  if (path.rfind("\\\\?\\", 0) != 0) {
    error = "Not a USB device address: " + address + " (expected the device path the port list shows).";
    return false;
  }
  d_->device = ::CreateFileW(windowstext::wide(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
  if (d_->device == INVALID_HANDLE_VALUE) {
    error = lastErrorText() + " (write channel)";
    return false;
  }
  if (!d_->fn<InitializeFn>(kInitialize)(d_->device, &d_->usb)) {
    d_->usb = nullptr;
    error = lastErrorText() + " (the receiver's USB device is not bound to the WinUSB driver)";
    close();
    return false;
  }
  d_->readPipe = d_->writePipe = d_->interruptPipe = 0;
  if (!d_->findPipes()) {
    error = "Can't initialize interfaces";
    close();
    return false;
  }
  ULONG timeout = kWritePipeTimeoutMs;
  d_->fn<SetPipePolicyFn>(kSetPipePolicy)(d_->usb, d_->writePipe, PIPE_TRANSFER_TIMEOUT, sizeof timeout, &timeout);
  UCHAR autoSuspend = 0;
  d_->fn<SetPowerPolicyFn>(kSetPowerPolicy)(d_->usb, AUTO_SUSPEND, sizeof autoSuspend, &autoSuspend);
  d_->writeEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (!d_->writeEvent) {
    error = lastErrorText() + " (Overlapped for writes)";
    close();
    return false;
  }
  d_->readEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (!d_->readEvent) {
    error = lastErrorText() + " (Overlapped for reads)";
    close();
    return false;
  }
  return true;
}

void UsbBackend::close() {
  if (d_->usb) d_->fn<FreeFn>(kFree)(d_->usb);
  d_->usb = nullptr;
  if (d_->device != INVALID_HANDLE_VALUE) ::CloseHandle(d_->device);
  d_->device = INVALID_HANDLE_VALUE;
  for (HANDLE* event : {&d_->writeEvent, &d_->readEvent}) {
    if (*event) ::CloseHandle(*event);
    *event = nullptr;
  }
}

UsbTransfer UsbBackend::bulkIn(uint8_t* buffer, int size, int sliceMs) {
  return d_->transfer(kReadPipe, d_->readPipe, d_->readEvent, buffer, size, sliceMs);
}

UsbTransfer UsbBackend::bulkOut(const uint8_t* data, int size, int sliceMs) {
  return d_->transfer(kWritePipe, d_->writePipe, d_->writeEvent, const_cast<uint8_t*>(data), size, sliceMs);
}

void UsbBackend::clearQueues(uint32_t flags) {
  if (!d_->usb) return;
  if (flags & kPurgeRxClear) d_->fn<PipeFn>(kFlushPipe)(d_->usb, d_->readPipe);
  if (flags & kPurgeTxClear) d_->fn<PipeFn>(kFlushPipe)(d_->usb, d_->writePipe);
}

}  // namespace CMNC
