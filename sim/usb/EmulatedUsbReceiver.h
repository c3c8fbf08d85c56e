#pragma once
#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include <umockdev.h>

// What an emulated receiver does besides carrying bytes.
struct UsbFaults {
  long unplugAfterBytes = -1;  // the cable is pulled once this many bytes went out
  bool noBulkEndpoints = false;  // its configuration has interface 0 without endpoints
  bool claimBusy = false;        // another driver holds interface 0 (EBUSY)
  long stallAfterBytes = -1;     // its bulk OUT endpoint stalls once this many bytes went out
  long holdAfterBytes = -1;      // it takes no more bytes once this many went out (writes time out)
};

// One receiver on native USB as the USB library sees it through umockdev: a device in the
// testbed's sysfs (vendor and product id, serial number, descriptors with interface 0 and a bulk
// OUT and IN endpoint) whose usbdevfs ioctls it answers, its bulk endpoints bridged to a virtual
// receiver's USB link (vestrel-sim --usb-link). When the virtual receiver restarts, its link drops
// and the device goes away; it comes back when the link takes a connection again, as a USB
// receiver re-enumerates.
//
// The ioctls arrive on umockdev's worker thread; the link is read on a thread of its own; the
// testbed is changed on the main thread (the one running the default main context) only.
class EmulatedUsbReceiver {
 public:
  EmulatedUsbReceiver(UMockdevTestbed* testbed, int port, std::string serial, int linkPort, UsbFaults faults);
  ~EmulatedUsbReceiver();
  EmulatedUsbReceiver(const EmulatedUsbReceiver&) = delete;
  EmulatedUsbReceiver& operator=(const EmulatedUsbReceiver&) = delete;

  // Connects to the link and plugs the device in; false when the link cannot be reached.
  bool start(std::string& error);
  void stop();

 private:
  struct Urb {
    UMockdevIoctlData* urb = nullptr;     // the submitted usbdevfs_urb (a reference held)
    UMockdevIoctlData* buffer = nullptr;  // its buffer
  };

  static gboolean onIoctl(UMockdevIoctlBase* base, UMockdevIoctlClient* client, gpointer self);
  bool handle(UMockdevIoctlClient* client);
  void submit(UMockdevIoctlClient* client, UMockdevIoctlData* data);
  void controlTransfer(Urb urb);
  void bulkOut(Urb urb);
  void reap(UMockdevIoctlClient* client, UMockdevIoctlData* data);
  void discard(UMockdevIoctlClient* client);
  void complete(Urb urb, int status, int length);
  void fillWaitingReads();
  void endAllWaiting(int status);

  void linkLoop();
  bool connectLink();
  void plugIn();
  void unplug();
  std::string deviceText() const;
  std::string configDescriptor() const;

  UMockdevTestbed* testbed_;
  int port_;
  std::string serial_;
  int linkPort_;
  UsbFaults faults_;
  std::string sysPath_;
  std::string devNode_;
  UMockdevIoctlBase* handler_ = nullptr;

  std::mutex mutex_;  // guards what follows
  std::deque<uint8_t> inbox_;  // bytes from the receiver no bulk IN URB took yet
  std::deque<Urb> waitingIn_;
  std::deque<Urb> waitingOut_;  // held bulk OUT URBs
  std::deque<Urb> done_;        // completed, to be reaped
  bool present_ = false;
  bool pulled_ = false;         // the cable was pulled for good
  long bytesOut_ = 0;
  int link_ = -1;

  std::atomic<bool> stopping_{false};
  std::thread linkThread_;
};
