#include "CBTRemoteDevice.h"

#include <bluetooth/bluetooth.h>
#include <bluetooth/rfcomm.h>
#include <bluetooth/sdp.h>
#include <bluetooth/sdp_lib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "BluetoothAvailability.h"

// The BlueZ side of a remote device: SDP through libbluetooth, RFCOMM sockets.
namespace CMNC {
namespace {

constexpr uint16_t kSerialPortService = 0x1101;

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

int CBTRemoteDevice::Connect(int& error) const {
  error = EINVAL;
  if (address == 0) return -1;
  const int channel = SerialPortChannel();
  if (channel <= 0) {
    error = kNoSerialPortService;
    return -1;
  }
  const int fd = ::socket(AF_BLUETOOTH, SOCK_STREAM | SOCK_CLOEXEC, BTPROTO_RFCOMM);
  if (fd < 0) {
    error = errno;
    return -1;
  }
  sockaddr_rc remote{};
  remote.rc_family = AF_BLUETOOTH;
  remote.rc_bdaddr = toBdaddr(address);
  remote.rc_channel = static_cast<uint8_t>(channel);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&remote), sizeof remote) != 0) {
    error = errno;
    ::close(fd);
    return -1;
  }
  error = 0;
  return fd;
}

}  // namespace CMNC
