#pragma once
#include <string>

// The receiver's text command language as the loader speaks it: every command text and reply
// tag, the tagged-reply parse, and the file-system-ready rule. Commands are 8-bit ASCII ending
// in a line feed; a tagged command "%tag%..." is answered "RE" or "ER", three length characters,
// "%tag%", the body, CR LF.
namespace CMNC::lang {

// Port test: the wake-up lines, the probe and its well-formed answer's length.
inline constexpr char kWakeUp[] = "\n\ndm\n##OFF##\ndm\n%%\n";
inline constexpr char kProbe[] = "%PORT TEST%\n";
inline constexpr char kProbeTag[] = "PORT TEST";
inline constexpr std::size_t kProbeAnswerLength = 18;  // "RE", 3 length characters, "%PORT TEST%", CR LF

// The running firmware's version, asked in the port test and again after a load.
inline constexpr char kMainFirmwareQuery[] = "%Main  firmware%print,/par/rcv/ver/main\n";
inline constexpr char kMainFirmwareTag[] = "Main  firmware";

// Identity queries of the port test, in the order they are asked.
inline constexpr const char* kIdentityRequests[] = {
    "\ndm\n##OFF##\ndm\n\n%Current port%print,/cur/term\n",
    "%Receiver model%print,/par/rcv/model\n",
    "%Receiver board%print,/par/rcv/ver/board\n",
    "%RAM size (KB)%print,/par/rcv/mem\n",
    kMainFirmwareQuery,
    "%Port speed%print,/par/cur/term/rate\n",
};
inline constexpr char kCurrentPortTag[] = "Current port";
inline constexpr char kModelTag[] = "Receiver model";
inline constexpr char kBoardTag[] = "Receiver board";
// Asked after those by the port test and by --identify: the receiver's identity and hardware.
inline constexpr const char* kIdentityExtraRequests[] = {
    "%Receiver identity%print,/par/rcv/id\n",
    "%Hardware version%print,/par/rcv/ver/hw\n",
};
inline constexpr char kReceiverIdentityTag[] = "Receiver identity";
inline constexpr char kHardwareTag[] = "Hardware version";

// The power slots of the receiver's Bluetooth port.
inline constexpr char kPowerSlotsQuery[] = "%Bluetooth Power%print,/par/pwr/slots\n";
inline constexpr char kPowerSlotsAlwaysCommand[] = "set,/par/pwr/slots,always\n";
inline constexpr char kPowerSlotsAlways[] = "always";

// The reset that lets the boot loader be captured.
inline constexpr char kSoftReset[] = "\nset,reset,yes\n";
// The reset sent at the normal rate while the boot loader is being caught.
inline constexpr char kCaptureReset[] = "##\n##\nset,reset,yes\n";

// File system and flashing.
inline constexpr char kFsInitQuery[] = "%fsinit%print,/par/stat/fsinit\n";
inline constexpr char kFsInitTag[] = "fsinit";
inline constexpr char kIdentityQuery[] = "%Receiver ID:%print,/par/rcv/id\n";
inline constexpr char kIdentityTag[] = "Receiver ID:";
inline constexpr char kRemovedQuery[] = "%removed%print,/par/dev/blk/a/removed\n";
inline constexpr char kRemovedTag[] = "removed";
inline constexpr char kNotRemovedCommand[] = "%notremoved%set,/par/dev/blk/a/removed,off\n";
inline constexpr char kRemoveTag[] = "remove";
inline constexpr char kPutTag[] = "put";
inline constexpr char kFldTag[] = "fld";
inline constexpr char kFirmwareFile[] = "firmware";  // the stored image's name under /log/
inline constexpr char kRemoveFirmwareCommand[] = "remove,/log/firmware\n";
inline constexpr char kHardwareVersionQuery[] = "%HardwareVersion%print,/par/rcv/ver/hw\n";
inline constexpr char kHardwareVersionTag[] = "HardwareVersion";

// TCP/IP login: the greeting that follows a good password ("Logged in on /dev/tcp/N").
inline constexpr char kLoginGreeting[] = "Logged in on /dev/tcp/";
// True when the tag of the reply to the first line after the password is the greeting with its
// one-character port name.
bool IsLoginGreeting(const std::string& tag);

std::string setRateCommand(int rate);
std::string removeCommand(const std::string& name);
// T: the put time-out, B: the block size.
std::string putCommand(const std::string& name, int putTimeout, int blockSize);
std::string storedFlashCommand(const std::string& identity);
std::string streamFlashCommand(const std::string& identity, int putTimeout, int blockSize);
std::string sizeQuery(const std::string& name);
// A line whose tag is the counter; the reply must carry the same tag.
std::string syncCommand(const std::string& counter);

// Splits a tagged reply into tag and body (the body ends at the first CR or LF). False when the
// text is not a tagged reply; the body then holds the whole text.
bool ParseReply(const std::string& reply, std::string& tag, std::string& body);
// True when the bytes read after the probe end with its well-formed answer: only the last 18
// bytes count (echoed text or binary output, zero bytes included, may stand before them).
bool IsProbeAnswer(const std::string& bytes);
// The text without blanks and tabs at either end (how reply bodies are compared).
std::string TrimBlanks(const std::string& text);
// True when the reply to the file-system status query says the file system is ready: the body
// is "{done,total}" with both the same.
bool FsInitAccepted(const std::string& tag, const std::string& body);

}  // namespace CMNC::lang
