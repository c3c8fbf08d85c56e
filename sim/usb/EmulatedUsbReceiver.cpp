#include "EmulatedUsbReceiver.h"

#include <arpa/inet.h>
#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstring>

namespace {

constexpr uint16_t kVendorId = 0x1209;   // a vendor id the port list takes for a receiver
constexpr uint16_t kProductId = 0x5652;
constexpr int kMaxPacketBytes = 512;     // high speed bulk
constexpr uint8_t kEndpointOut = 0x01;
constexpr uint8_t kEndpointIn = 0x81;
constexpr int kUrbControl = 2;
constexpr int kGetDescriptor = 6;
constexpr int kReconnectPauseMs = 50;    // how often a dropped link is tried again
constexpr int kDrainBeforeUnplugMs = 500;  // how long a dropped link's last bytes wait for the host
constexpr int kDrainPollMs = 5;
constexpr uint32_t kCapabilities = USBDEVFS_CAP_BULK_CONTINUATION | USBDEVFS_CAP_NO_PACKET_SIZE_LIM |
                                   USBDEVFS_CAP_REAP_AFTER_DISCONNECT | USBDEVFS_CAP_ZERO_PACKET;

std::string hex(const std::string& bytes) {
  std::string text;
  char pair[3];
  for (const unsigned char b : bytes) {
    std::snprintf(pair, sizeof pair, "%02x", b);
    text += pair;
  }
  return text;
}

std::string le16(uint16_t value) { return std::string{static_cast<char>(value & 0xFF), static_cast<char>(value >> 8)}; }

std::string deviceDescriptor() {
  return std::string("\x12\x01\x00\x02\x00\x00\x00\x40", 8) + le16(kVendorId) + le16(kProductId) +
         std::string("\x00\x01\x01\x02\x03\x01", 6);
}

// A string descriptor in UTF-16LE.
std::string stringDescriptor(const std::string& text) {
  std::string d(1, static_cast<char>(2 + 2 * text.size()));
  d += '\x03';
  for (const char c : text) d += std::string{c, '\0'};
  return d;
}

std::string descriptorOf(int type, int index, const std::string& config, const std::string& serial) {
  if (type == 1) return deviceDescriptor();
  if (type == 2) return config;
  if (type == 3 && index == 0) return std::string("\x04\x03\x09\x04", 4);  // English (US)
  if (type == 3 && index == 1) return stringDescriptor("Vestrel test bench");
  if (type == 3 && index == 2) return stringDescriptor("Virtual receiver");
  if (type == 3 && index == 3) return stringDescriptor(serial);
  return {};
}

}  // namespace

EmulatedUsbReceiver::EmulatedUsbReceiver(UMockdevTestbed* testbed, int port, std::string serial, int linkPort, UsbFaults faults)
    : testbed_(testbed), port_(port), serial_(std::move(serial)), linkPort_(linkPort), faults_(faults) {
  sysPath_ = "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-" + std::to_string(port_);
  char node[64];
  std::snprintf(node, sizeof node, "/dev/bus/usb/001/%03d", port_ + 1);
  devNode_ = node;
  handler_ = umockdev_ioctl_base_new();
  g_signal_connect(handler_, "handle-ioctl", G_CALLBACK(&EmulatedUsbReceiver::onIoctl), this);
}

EmulatedUsbReceiver::~EmulatedUsbReceiver() {
  stop();
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto* queue : {&waitingIn_, &waitingOut_, &done_})
    for (const Urb& urb : *queue) {
      g_object_unref(urb.urb);
      g_object_unref(urb.buffer);
    }
  g_object_unref(handler_);
}

std::string EmulatedUsbReceiver::configDescriptor() const {
  const int endpoints = faults_.noBulkEndpoints ? 0 : 2;
  std::string interface = std::string("\x09\x04\x00\x00", 4) + static_cast<char>(endpoints) + std::string("\xff\x00\x00\x00", 4);
  if (endpoints)
    for (const uint8_t address : {kEndpointOut, kEndpointIn})
      interface += std::string("\x07\x05", 2) + static_cast<char>(address) + '\x02' + le16(kMaxPacketBytes) + '\0';
  const uint16_t total = static_cast<uint16_t>(9 + interface.size());
  return std::string("\x09\x02", 2) + le16(total) + std::string("\x01\x01\x00\x80\x32", 5) + interface;
}

std::string EmulatedUsbReceiver::deviceText() const {
  const std::string devnum = std::to_string(port_ + 1);
  return "P: " + sysPath_.substr(4) + "\n"
         "N: " + devNode_.substr(5) + "\n"
         "E: DEVNAME=" + devNode_ + "\n"
         "E: DEVTYPE=usb_device\nE: SUBSYSTEM=usb\nE: DRIVER=usb\nE: BUSNUM=001\n"
         "E: DEVNUM=" + devNode_.substr(devNode_.size() - 3) + "\n"
         "E: MAJOR=189\nE: MINOR=" + std::to_string(port_) + "\n"
         "E: PRODUCT=1209/5652/100\n"
         "A: idVendor=1209\nA: idProduct=5652\nA: bcdDevice=0100\n"
         "A: manufacturer=Vestrel test bench\nA: product=Virtual receiver\n"
         "A: serial=" + serial_ + "\n"
         "A: busnum=1\nA: devnum=" + devnum + "\nA: devpath=" + std::to_string(port_) + "\n"
         "A: speed=480\nA: bConfigurationValue=1\nA: bNumConfigurations=1\nA: bNumInterfaces= 1\n"
         "A: maxchild=0\n"
         "H: descriptors=" + hex(deviceDescriptor() + configDescriptor()) + "\n";
}

bool EmulatedUsbReceiver::start(std::string& error) {
  if (!connectLink()) {
    error = "the virtual receiver's USB link 127.0.0.1:" + std::to_string(linkPort_) + " does not answer";
    return false;
  }
  plugIn();
  linkThread_ = std::thread([this] { linkLoop(); });
  return true;
}

void EmulatedUsbReceiver::stop() {
  stopping_ = true;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (link_ >= 0) ::shutdown(link_, SHUT_RDWR);
  }
  if (linkThread_.joinable()) linkThread_.join();
}

bool EmulatedUsbReceiver::connectLink() {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(linkPort_));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    if (fd >= 0) ::close(fd);
    return false;
  }
  // The receiver drops a connection it cannot take (it is restarting): a link is one that stays.
  pollfd p{fd, POLLIN, 0};
  char peek;
  if (::poll(&p, 1, 20) > 0 && ::recv(fd, &peek, 1, MSG_PEEK) == 0) {
    ::close(fd);
    return false;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  link_ = fd;
  return true;
}

// Reads the receiver's bytes; when its link drops, the device goes away until the link is back.
void EmulatedUsbReceiver::linkLoop() {
  uint8_t buffer[4096];
  while (!stopping_) {
    const ssize_t n = ::recv(link_, buffer, sizeof buffer, 0);
    if (n > 0) {
      std::lock_guard<std::mutex> lock(mutex_);
      inbox_.insert(inbox_.end(), buffer, buffer + n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ::close(link_);
      link_ = -1;
    }
    if (stopping_) break;
    // What the receiver said before it restarted reaches the host before the device goes.
    for (int waited = 0; waited < kDrainBeforeUnplugMs && !stopping_; waited += kDrainPollMs) {
      {
        std::lock_guard<std::mutex> lock(mutex_);
        if (inbox_.empty()) break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(kDrainPollMs));
    }
    g_main_context_invoke(nullptr, [](gpointer self) -> gboolean { static_cast<EmulatedUsbReceiver*>(self)->unplug(); return G_SOURCE_REMOVE; }, this);
    while (!stopping_ && !connectLink()) std::this_thread::sleep_for(std::chrono::milliseconds(kReconnectPauseMs));
    bool pulled = false;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      pulled = pulled_;
    }
    if (!stopping_ && !pulled)
      g_main_context_invoke(nullptr, [](gpointer self) -> gboolean { static_cast<EmulatedUsbReceiver*>(self)->plugIn(); return G_SOURCE_REMOVE; }, this);
  }
}

void EmulatedUsbReceiver::plugIn() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (present_ || pulled_) return;
    present_ = true;
    bytesOut_ = 0;
  }
  GError* error = nullptr;
  if (!umockdev_testbed_add_from_string(testbed_, deviceText().c_str(), &error) ||
      !umockdev_testbed_attach_ioctl(testbed_, devNode_.c_str(), handler_, &error)) {
    std::fprintf(stderr, "vestrel-usbsim: cannot plug in %s: %s\n", sysPath_.c_str(), error ? error->message : "?");
    g_clear_error(&error);
    return;
  }
}

void EmulatedUsbReceiver::unplug() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!present_) return;
    present_ = false;
    inbox_.clear();
    endAllWaiting(-ENODEV);
  }
  umockdev_testbed_detach_ioctl(testbed_, devNode_.c_str(), nullptr);
  umockdev_testbed_remove_device(testbed_, sysPath_.c_str());
}

gboolean EmulatedUsbReceiver::onIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
  return static_cast<EmulatedUsbReceiver*>(self)->handle(client);
}

bool EmulatedUsbReceiver::handle(UMockdevIoctlClient* client) {
  const gulong request = umockdev_ioctl_client_get_request(client);
  UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
  const gsize size = _IOC_SIZE(request);
  UMockdevIoctlData* data = size ? umockdev_ioctl_data_resolve(arg, 0, size, nullptr) : nullptr;
  if (size && !data) return false;
  bool present = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    present = present_;
  }
  switch (request) {
    case USBDEVFS_GET_CAPABILITIES:
      *reinterpret_cast<uint32_t*>(data->data) = kCapabilities;
      umockdev_ioctl_client_complete(client, 0, 0);
      break;
    case USBDEVFS_CLAIMINTERFACE:
    case USBDEVFS_DISCONNECT_CLAIM:
      if (faults_.claimBusy) umockdev_ioctl_client_complete(client, -1, EBUSY);
      else umockdev_ioctl_client_complete(client, present ? 0 : -1, present ? 0 : ENODEV);
      break;
    case USBDEVFS_RELEASEINTERFACE:
    case USBDEVFS_SETINTERFACE:
    case USBDEVFS_CLEAR_HALT:
    case USBDEVFS_RESET:
    case USBDEVFS_RESETEP:
      umockdev_ioctl_client_complete(client, present ? 0 : -1, present ? 0 : ENODEV);
      break;
    case USBDEVFS_GETDRIVER:
    case USBDEVFS_IOCTL:
      umockdev_ioctl_client_complete(client, -1, ENODATA);  // no kernel driver holds it
      break;
    case USBDEVFS_SUBMITURB:
      submit(client, data);
      break;
    case USBDEVFS_REAPURB:
    case USBDEVFS_REAPURBNDELAY:
      reap(client, data);
      break;
    case USBDEVFS_DISCARDURB:
      discard(client);
      break;
    default:
      umockdev_ioctl_client_complete(client, -1, ENOTTY);
      break;
  }
  if (data) g_object_unref(data);
  return true;
}

void EmulatedUsbReceiver::submit(UMockdevIoctlClient* client, UMockdevIoctlData* data) {
  auto* urb = reinterpret_cast<usbdevfs_urb*>(data->data);
  UMockdevIoctlData* buffer =
      umockdev_ioctl_data_resolve(data, offsetof(usbdevfs_urb, buffer), static_cast<gsize>(std::max(urb->buffer_length, 0)), nullptr);
  if (!buffer) {
    umockdev_ioctl_client_complete(client, -1, EFAULT);
    return;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  if (!present_) {
    g_object_unref(buffer);
    umockdev_ioctl_client_complete(client, -1, ENODEV);
    return;
  }
  const Urb submitted{UMOCKDEV_IOCTL_DATA(g_object_ref(data)), buffer};
  if (urb->type == kUrbControl) controlTransfer(submitted);
  else if (urb->endpoint & 0x80) waitingIn_.push_back(submitted);
  else bulkOut(submitted);
  umockdev_ioctl_client_complete(client, 0, 0);
}

// Descriptor requests are answered; other standard requests are taken as they come.
void EmulatedUsbReceiver::controlTransfer(Urb urb) {
  const uint8_t* setup = urb.buffer->data;
  const int length = urb.buffer->data_len;
  int answered = 0;
  if (length >= 8 && (setup[0] & 0x80) && setup[1] == kGetDescriptor) {
    const std::string descriptor = descriptorOf(setup[3], setup[2], configDescriptor(), serial_);
    const int wanted = setup[6] | (setup[7] << 8);
    answered = std::min({static_cast<int>(descriptor.size()), wanted, length - 8});
    std::memcpy(urb.buffer->data + 8, descriptor.data(), static_cast<std::size_t>(answered));
  }
  complete(urb, 0, answered);
}

void EmulatedUsbReceiver::bulkOut(Urb urb) {
  const int length = urb.buffer->data_len;
  if (faults_.holdAfterBytes >= 0 && bytesOut_ >= faults_.holdAfterBytes) {
    waitingOut_.push_back(urb);
    return;
  }
  if (faults_.stallAfterBytes >= 0 && bytesOut_ >= faults_.stallAfterBytes) {
    complete(urb, -EPIPE, 0);
    return;
  }
  bytesOut_ += length;
  for (int sent = 0; link_ >= 0 && sent < length;) {
    const ssize_t n = ::send(link_, urb.buffer->data + sent, static_cast<std::size_t>(length - sent), MSG_NOSIGNAL);
    if (n <= 0) break;
    sent += static_cast<int>(n);
  }
  complete(urb, 0, length);
  if (faults_.unplugAfterBytes >= 0 && bytesOut_ >= faults_.unplugAfterBytes && !pulled_) {
    pulled_ = true;
    g_main_context_invoke(nullptr, [](gpointer self) -> gboolean { static_cast<EmulatedUsbReceiver*>(self)->unplug(); return G_SOURCE_REMOVE; }, this);
  }
}

void EmulatedUsbReceiver::complete(Urb urb, int status, int length) {
  auto* u = reinterpret_cast<usbdevfs_urb*>(urb.urb->data);
  u->status = status;
  u->actual_length = length;
  done_.push_back(urb);
}

void EmulatedUsbReceiver::fillWaitingReads() {
  while (!waitingIn_.empty() && !inbox_.empty()) {
    Urb urb = waitingIn_.front();
    waitingIn_.pop_front();
    const int n = std::min(urb.buffer->data_len, static_cast<int>(inbox_.size()));
    std::copy_n(inbox_.begin(), n, urb.buffer->data);
    inbox_.erase(inbox_.begin(), inbox_.begin() + n);
    complete(urb, 0, n);
  }
}

void EmulatedUsbReceiver::endAllWaiting(int status) {
  for (auto* queue : {&waitingIn_, &waitingOut_}) {
    while (!queue->empty()) {
      complete(queue->front(), status, 0);
      queue->pop_front();
    }
  }
}

void EmulatedUsbReceiver::reap(UMockdevIoctlClient* client, UMockdevIoctlData* data) {
  std::lock_guard<std::mutex> lock(mutex_);
  fillWaitingReads();
  if (done_.empty()) {
    umockdev_ioctl_client_complete(client, -1, present_ ? EAGAIN : ENODEV);
    return;
  }
  const Urb urb = done_.front();
  done_.pop_front();
  umockdev_ioctl_data_set_ptr(data, 0, urb.urb);
  umockdev_ioctl_client_complete(client, 0, 0);
  g_object_unref(urb.buffer);
  g_object_unref(urb.urb);
}

void EmulatedUsbReceiver::discard(UMockdevIoctlClient* client) {
  const gulong address = *reinterpret_cast<gulong*>(umockdev_ioctl_client_get_arg(client)->data);
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto* queue : {&waitingIn_, &waitingOut_}) {
    for (auto it = queue->begin(); it != queue->end(); ++it) {
      if (it->urb->client_addr != address) continue;
      complete(*it, -ENOENT, 0);
      queue->erase(it);
      umockdev_ioctl_client_complete(client, 0, 0);
      return;
    }
  }
  umockdev_ioctl_client_complete(client, -1, EINVAL);
}
