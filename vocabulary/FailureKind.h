#pragma once
#include <cstddef>
#include <optional>
#include <string>

// Why a run did not end confirmed, as a fact a script, the history and the fleet can rely on; each
// has one remedy line for the operator.
enum class FailureKind {
  None,                // it did not fail
  LinkLost,            // the cable, the adapter or the network went away
  ReceiverSilent,      // the link stayed, but the receiver did not answer
  BootLoaderNotCaught, // the receiver's boot loader never answered the capture
  RefusedByReceiver,   // the receiver answered, and refused
  WrongHardware,       // the firmware is built for other hardware
  WrongReceiver,       // the receiver is not the one the order names
  SourceRefused,       // the firmware distribution cannot be loaded as it is
  PortUnavailable,     // the port could not be opened, or refused the speed
  StoppedByOperator,   // Abort, the window closed, a gentle stop
  StoppedBySignal,     // a stop signal (Ctrl-C, SIGTERM, a shutdown)
  Unconfirmed,         // loaded, but the receiver did not confirm the firmware asked for
  Other,               // anything else: the activity log says what
};

// "link_lost", "receiver_silent", "boot_loader_not_caught", "refused_by_receiver",
// "wrong_hardware", "wrong_receiver", "source_refused", "port_unavailable", "stopped_by_operator",
// "stopped_by_signal", "unconfirmed", "other"; "" for None.
const char* failureKindName(FailureKind kind);
// The same for a person: "link lost", "stopped by the operator".
const char* failureKindWords(FailureKind kind);
std::optional<FailureKind> failureKindNamed(const std::string& name);

// What happened to one image of a load.
enum class ImageResult {
  NotReached,  // the run ended before it
  Sent,        // its bytes went out, but the receiver never acknowledged its flash
  Flashed,     // the receiver acknowledged it (run from RAM: it answered that it ran it)
  Stored,      // a plain data file, stored in the receiver's file system and its size checked
  Refused,     // the receiver (or the set's check against it) refused it
  Failed,      // the link or the receiver failed while it went
};

// "not_reached", "sent", "flashed", "stored", "refused", "failed".
const char* imageResultName(ImageResult result);
// The same for a person: "not reached", "sent, its flash not acknowledged".
const char* imageResultWords(ImageResult result);
std::optional<ImageResult> imageResultNamed(const std::string& name);

// "3 of 5 flashed"; with stored set, "1 of 1 stored" (a plain data file).
std::string imagesDoneText(std::size_t done, std::size_t total, bool stored);
