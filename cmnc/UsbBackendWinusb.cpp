#include "UsbBackend.h"

// The Windows side of the USB link: WinUSB, loaded at run time from "winusb.dll" so that the
// program starts on a computer without it. A receiver's device is opened by its interface path
// (the port enumeration's "usb:" address) with overlapped I/O; each transfer waits at most its
// slice and is cancelled when the slice ends.
#include <windows.h>
#include <winusb.h>

#include "WindowsText.h"

namespace CMNC {
namespace {

// WinUsb_Initialize gives the device's first interface (interface 0); its default setting.
constexpr UCHAR kAlternateSetting = 0;

using InitializeFn = BOOL(WINAPI*)(HANDLE, PWINUSB_INTERFACE_HANDLE);
using FreeFn = BOOL(WINAPI*)(WINUSB_INTERFACE_HANDLE);
using QueryInterfaceSettingsFn = BOOL(WINAPI*)(WINUSB_INTERFACE_HANDLE, UCHAR, PUSB_INTERFACE_DESCRIPTOR);
using QueryPipeFn = BOOL(WINAPI*)(WINUSB_INTERFACE_HANDLE, UCHAR, UCHAR, PWINUSB_PIPE_INFORMATION);
using PipeIoFn = BOOL(WINAPI*)(WINUSB_INTERFACE_HANDLE, UCHAR, PUCHAR, ULONG, PULONG, LPOVERLAPPED);
using GetOverlappedResultFn = BOOL(WINAPI*)(WINUSB_INTERFACE_HANDLE, LPOVERLAPPED, LPDWORD, BOOL);
using AbortPipeFn = BOOL(WINAPI*)(WINUSB_INTERFACE_HANDLE, UCHAR);

template <typename Fn>
Fn entry(HMODULE module, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

std::string lastErrorText() { return windowstext::systemMessageLine(::GetLastError()); }

}  // namespace

struct UsbBackend::Impl {
  HMODULE module = nullptr;
  InitializeFn initialize = nullptr;
  FreeFn free = nullptr;
  QueryInterfaceSettingsFn queryInterface = nullptr;
  QueryPipeFn queryPipe = nullptr;
  PipeIoFn readPipe = nullptr;
  PipeIoFn writePipe = nullptr;
  GetOverlappedResultFn overlappedResult = nullptr;
  AbortPipeFn abortPipe = nullptr;

  HANDLE device = INVALID_HANDLE_VALUE;
  WINUSB_INTERFACE_HANDLE usb = nullptr;
  HANDLE ioEvent = nullptr;
  UCHAR in = 0;
  UCHAR out = 0;

  bool loaded() const {
    return initialize && free && queryInterface && queryPipe && readPipe && writePipe && overlappedResult && abortPipe;
  }
  bool findBulkPipes();
  UsbTransfer transfer(PipeIoFn io, UCHAR pipe, uint8_t* buffer, int size, int sliceMs);
};

bool UsbBackend::Impl::findBulkPipes() {
  USB_INTERFACE_DESCRIPTOR descriptor{};
  if (!queryInterface(usb, kAlternateSetting, &descriptor)) return false;
  for (UCHAR i = 0; i < descriptor.bNumEndpoints; ++i) {
    WINUSB_PIPE_INFORMATION pipe{};
    if (!queryPipe(usb, kAlternateSetting, i, &pipe) || pipe.PipeType != UsbdPipeTypeBulk) continue;
    if (USB_ENDPOINT_DIRECTION_IN(pipe.PipeId)) {
      if (in == 0) in = pipe.PipeId;
    } else if (out == 0) {
      out = pipe.PipeId;
    }
  }
  return in != 0 && out != 0;
}

UsbTransfer UsbBackend::Impl::transfer(PipeIoFn io, UCHAR pipe, uint8_t* buffer, int size, int sliceMs) {
  UsbTransfer t;
  OVERLAPPED overlapped{};
  overlapped.hEvent = ioEvent;
  ::ResetEvent(ioEvent);
  ULONG moved = 0;
  if (!io(usb, pipe, buffer, static_cast<ULONG>(size), &moved, &overlapped) && ::GetLastError() != ERROR_IO_PENDING) {
    const DWORD error = ::GetLastError();
    t.status = error == ERROR_DEVICE_NOT_CONNECTED || error == ERROR_BAD_COMMAND ? UsbTransfer::Status::Unplugged
                                                                                  : UsbTransfer::Status::Failed;
    t.error = lastErrorText();
    return t;
  }
  if (::WaitForSingleObject(ioEvent, static_cast<DWORD>(sliceMs)) != WAIT_OBJECT_0) {
    abortPipe(usb, pipe);  // the slice is over: cancel, then collect what moved before it
    t.status = UsbTransfer::Status::Timeout;
  }
  DWORD done = 0;
  if (!overlappedResult(usb, &overlapped, &done, TRUE) && t.status != UsbTransfer::Status::Timeout) {
    t.status = UsbTransfer::Status::Failed;
    t.error = lastErrorText();
  }
  t.transferred = static_cast<int>(done);
  return t;
}

UsbBackend::UsbBackend() : d_(std::make_unique<Impl>()) {
  d_->module = ::LoadLibraryW(L"winusb.dll");
  if (!d_->module) return;
  d_->initialize = entry<InitializeFn>(d_->module, "WinUsb_Initialize");
  d_->free = entry<FreeFn>(d_->module, "WinUsb_Free");
  d_->queryInterface = entry<QueryInterfaceSettingsFn>(d_->module, "WinUsb_QueryInterfaceSettings");
  d_->queryPipe = entry<QueryPipeFn>(d_->module, "WinUsb_QueryPipe");
  d_->readPipe = entry<PipeIoFn>(d_->module, "WinUsb_ReadPipe");
  d_->writePipe = entry<PipeIoFn>(d_->module, "WinUsb_WritePipe");
  d_->overlappedResult = entry<GetOverlappedResultFn>(d_->module, "WinUsb_GetOverlappedResult");
  d_->abortPipe = entry<AbortPipeFn>(d_->module, "WinUsb_AbortPipe");
}

UsbBackend::~UsbBackend() {
  close();
  if (d_->module) ::FreeLibrary(d_->module);
}

bool UsbBackend::available() const { return d_->module && d_->loaded(); }
bool UsbBackend::isOpen() const { return d_->usb != nullptr; }

bool UsbBackend::open(const std::string& address, std::string& error) {
  if (address.rfind("usb:\\\\", 0) != 0) {
    error = "Not a USB device address: " + address + " (expected usb: and the device path the port list shows).";
    return false;
  }
  d_->device = ::CreateFileW(windowstext::wide(address.substr(4)).c_str(), GENERIC_READ | GENERIC_WRITE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
  if (d_->device == INVALID_HANDLE_VALUE) {
    error = lastErrorText() + " (" + address + ")";
    return false;
  }
  d_->ioEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (!d_->ioEvent || !d_->initialize(d_->device, &d_->usb)) {
    error = lastErrorText() + " (" + address + "): is the WinUSB driver installed for the receiver?";
    d_->usb = nullptr;
    close();
    return false;
  }
  d_->in = d_->out = 0;
  if (!d_->findBulkPipes()) {
    error = "Can't initialize interfaces";
    close();
    return false;
  }
  return true;
}

void UsbBackend::close() {
  if (d_->usb) d_->free(d_->usb);
  d_->usb = nullptr;
  if (d_->device != INVALID_HANDLE_VALUE) ::CloseHandle(d_->device);
  d_->device = INVALID_HANDLE_VALUE;
  if (d_->ioEvent) ::CloseHandle(d_->ioEvent);
  d_->ioEvent = nullptr;
}

UsbTransfer UsbBackend::bulkIn(uint8_t* buffer, int size, int sliceMs) {
  return d_->transfer(d_->readPipe, d_->in, buffer, size, sliceMs);
}

UsbTransfer UsbBackend::bulkOut(const uint8_t* data, int size, int sliceMs) {
  return d_->transfer(d_->writePipe, d_->out, const_cast<uint8_t*>(data), size, sliceMs);
}

}  // namespace CMNC
