#include "CBTRemoteDevice.h"

#include <bluetooth/bluetooth.h>
#include <bluetooth/rfcomm.h>
#include <bluetooth/sdp.h>
#include <bluetooth/sdp_lib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <boost/tokenizer.hpp>
#include <cerrno>
#include <cstdio>

#include "BluetoothAvailability.h"

namespace CMNC {
namespace {

constexpr std::size_t kAddressTextLength = 19;
constexpr uint16_t kSerialPortService = 0x1101;

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 0;  // any other character counts as 0
}

bdaddr_t toBdaddr(uint64_t address) {
  bdaddr_t b{};
  for (int i = 0; i < 6; ++i) b.b[i] = static_cast<uint8_t>(address >> (8 * i));  // b[0] is the least significant
  return b;
}

// Runs a service search for the serial-port service and hands each record to visit.
template <typename Visit>
int searchSerialPort(uint64_t address, Visit visit) {
  bdaddr_t any{};
  const bdaddr_t target = toBdaddr(address);
  sdp_session_t* session = sdp_connect(&any, &target, SDP_RETRY_IF_BUSY);
  if (!session) return errno ? errno : EHOSTUNREACH;
  uuid_t uuid;
  sdp_uuid16_create(&uuid, kSerialPortService);
  sdp_list_t* search = sdp_list_append(nullptr, &uuid);
  uint32_t range = 0x0000ffff;
  sdp_list_t* attributes = sdp_list_append(nullptr, &range);
  sdp_list_t* records = nullptr;
  const int rc = sdp_service_search_attr_req(session, search, SDP_ATTR_REQ_RANGE, attributes, &records);
  for (sdp_list_t* r = records; r; r = r->next) visit(static_cast<sdp_record_t*>(r->data));
  sdp_list_free(records, reinterpret_cast<sdp_free_func_t>(sdp_record_free));
  sdp_list_free(search, nullptr);
  sdp_list_free(attributes, nullptr);
  sdp_close(session);
  return rc == 0 ? 0 : (errno ? errno : EIO);
}

}  // namespace

uint64_t ParseDeviceAddress(const std::string& text) {
  if (text.size() != kAddressTextLength || text.front() != '(' || text.back() != ')') return 0;
  const std::string inner = text.substr(1, kAddressTextLength - 2);
  boost::char_separator<char> colon(":");
  boost::tokenizer<boost::char_separator<char>> pieces(inner, colon);
  uint64_t address = 0;
  int bytes = 0;
  for (const std::string& piece : pieces) {
    if (bytes == 6) break;
    if (piece.size() != 2) return 0;
    address = (address << 8) | static_cast<uint64_t>(hexDigit(piece[0]) * 16 + hexDigit(piece[1]));
    ++bytes;
  }
  return bytes == 6 ? address : 0;  // fewer than six groups has no address
}

std::string FormatDeviceAddress(uint64_t address) {
  char text[32];
  std::snprintf(text, sizeof text, "(%02X:%02X:%02X:%02X:%02X:%02X)", static_cast<unsigned>((address >> 40) & 0xFF),
                static_cast<unsigned>((address >> 32) & 0xFF), static_cast<unsigned>((address >> 24) & 0xFF),
                static_cast<unsigned>((address >> 16) & 0xFF), static_cast<unsigned>((address >> 8) & 0xFF),
                static_cast<unsigned>(address & 0xFF));
  return text;
}

void CBTRemoteDevice::Set(const std::string& name_, uint64_t address_, uint32_t classOfDevice_) {
  address = address_ & 0xFFFFFFFFFFFFull;
  addressText = FormatDeviceAddress(address);
  classOfDevice = classOfDevice_;
  name = name_.empty() ? addressText : name_;
}

int CBTRemoteDevice::FindSerialPortRecords(std::vector<uint32_t>& handles) const {
  handles.clear();
  if (!BluetoothAvailable() || address == 0) return 0;
  return searchSerialPort(address, [&handles](sdp_record_t* record) { handles.push_back(record->handle); });
}

int CBTRemoteDevice::CountSerialPortRecords() const {
  std::vector<uint32_t> handles;
  return FindSerialPortRecords(handles) == 0 ? static_cast<int>(handles.size()) : 0;
}

int CBTRemoteDevice::SerialPortChannel() const {
  int channel = -1;
  if (!BluetoothAvailable() || address == 0) return -1;
  searchSerialPort(address, [&channel](sdp_record_t* record) {
    sdp_list_t* protocols = nullptr;
    if (channel < 0 && sdp_get_access_protos(record, &protocols) == 0) {
      const int found = sdp_get_proto_port(protocols, RFCOMM_UUID);
      if (found > 0) channel = found;
      sdp_list_foreach(protocols, reinterpret_cast<sdp_list_func_t>(sdp_list_free), nullptr);
      sdp_list_free(protocols, nullptr);
    }
  });
  return channel;
}

int CBTRemoteDevice::Connect() const {
  if (address == 0) {
    errno = EINVAL;
    return -1;
  }
  const int channel = SerialPortChannel();
  if (channel <= 0) {
    errno = ENOENT;
    return -1;
  }
  const int fd = ::socket(AF_BLUETOOTH, SOCK_STREAM | SOCK_CLOEXEC, BTPROTO_RFCOMM);
  if (fd < 0) return -1;
  sockaddr_rc remote{};
  remote.rc_family = AF_BLUETOOTH;
  remote.rc_bdaddr = toBdaddr(address);
  remote.rc_channel = static_cast<uint8_t>(channel);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&remote), sizeof remote) != 0) {
    const int err = errno;
    ::close(fd);
    errno = err;
    return -1;
  }
  return fd;
}

}  // namespace CMNC
