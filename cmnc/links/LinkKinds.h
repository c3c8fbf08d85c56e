#pragma once
#include <memory>
#include <string>
#include <vector>

#include "ConnectionKind.h"
#include "PortEntry.h"

namespace CMNC {

class CAbstractReceiverPort;

// What a run takes from the link it goes over, decided by the kind of link.
struct LinkPolicy {
  int uploadBlockSize = 0;  // bytes a file upload puts at once; 0: the operator's choice
  bool slowPut = false;     // the receiver waits the slow links' longer put time-out
  bool lineSpeeds = false;  // the operator chooses a line speed; otherwise the link has its own
  bool bootLoader = false;  // the receiver's boot loader answers over it: the capture methods are offered
};

// A port named in text, as "/port" and the fleet's "--port" take it.
struct PortText {
  ConnectionKind kind = ConnectionKind::None;
  std::string text;      // the canonical text, never with a password: "tcp:[::1]:4001", "usb:1-2", "COM3"
  std::string address;   // what the port's Open receives (a TCP/IP password included)
  std::string password;  // the TCP/IP password the text carried; empty when it carried none
};

// The pre-flight check ("--check") that applies to a kind's ports; None: a kind nothing here can
// check, reported as such.
enum class Preflight { Serial, Usb, BluetoothAdapter, Network, None };
// Where the operator keeps a stored kind's ports: the set-up dialog (and the store's section) of
// hosts or of devices; None for a kind that is enumerated.
enum class SetUpModel { None, Hosts, Devices };

// One kind of link: everything the program knows about it, in one row.
struct LinkKind {
  ConnectionKind kind;
  const char* prefix;     // "tcp:", "usb:", "bt:"; "" for serial devices, named as they are
  const char* name;       // the port listing's kind: "serial", "usb", "bluetooth", "tcpip"
  const char* label;      // the connection list's text
  const char* portLabel;  // the port box's label
  bool stored;            // the operator stores these (hosts, devices); nothing enumerates them
  LinkPolicy policy;
  std::unique_ptr<CAbstractReceiverPort> (*makePort)();
  std::vector<PortEntry> (*enumerate)();  // null for stored kinds
  // The text after the prefix: fills kind, text, address and password; false with the reason.
  bool (*parse)(const std::string& rest, PortText& out, std::string& error);
  // The text after the prefix for an address (never its password).
  std::string (*format)(const std::string& address);
  // Keys of the receiver an address reaches: two ports whose keys meet reach the same receiver.
  // False with the reason when it cannot be told (a host name that does not resolve).
  bool (*identity)(const std::string& address, std::vector<std::string>& keys, std::string& error);
  Preflight preflight;
  SetUpModel setUp;
  bool secretInAddress;   // the address carries a password (looked for in a file, the environment, the store)
  bool identityLooksUp;   // telling its identity asks the network: compared by text where a look-up is not wanted
  bool needsAdapter;      // offered only where the computer has the adapter (Bluetooth)
};

// Every kind, in the connection list's order.
const std::vector<LinkKind>& LinkKinds();
// The row of a kind; a serial device's row for None.
const LinkKind& LinkKindOf(ConnectionKind kind);

// The kind a port text names by its prefix (matched in any case); Serial without one.
ConnectionKind KindOfPortText(const std::string& text);
// The text carries a link's prefix (any case).
bool HasLinkPrefix(const std::string& text);
// Parses "/port"'s forms: "tcp:HOST:PORT[:PASSWORD]" (HOST may be "[v6-address]"), "usb:...",
// "bt:(XX:XX:XX:XX:XX:XX)", or a serial device's name or path ("COMn" in any case). False with
// the reason and the form expected.
bool ParsePortText(const std::string& text, PortText& out, std::string& error);
// The port with another password (TCP/IP; other kinds have none).
void SetPassword(PortText& port, const std::string& password);
// A port's password taken out of its address (for a kind whose address carries one): the entry
// keeps the address without it. "" for every other kind.
std::string TakePassword(PortEntry& entry);
// The entry whose address carries password again, as the port's Open takes it.
PortEntry WithPassword(const PortEntry& entry, const std::string& password);
// The entry the wizard offers for a parsed port, described as given.
PortEntry EntryOf(const PortText& port, const std::string& description);
// The canonical text of a listed or stored port, without its password.
std::string PortTextOf(const PortEntry& entry);
// A port text as it may be shown: without a TCP/IP password, also when the text is malformed.
std::string ShownPortText(const std::string& text);
// The keys of the receiver a port reaches (see LinkKind::identity).
bool IdentityOf(const PortEntry& entry, std::vector<std::string>& keys, std::string& error);
// Two ports' keys meet.
bool SameReceiver(const std::vector<std::string>& a, const std::vector<std::string>& b);

// Blanks the TCP/IP passwords in the program's own argument memory, where every local user can
// read them (/proc/PID/cmdline): the ":PASSWORD" of each "tcp:" text, also after "--port=". True
// when one was found. Call after the arguments were copied.
bool HidePortPasswords(int argc, char** argv);

}  // namespace CMNC
