#include "FailureAdvice.h"

namespace {

std::string linkLost(const FailureContext& c) {
  const std::string check = "check the cable, the adapter or the network";
  if (c.loading && c.flashImage && c.method != LoadMethod::FileUpload)
    return "The link was lost while " + c.image + " was being written: the receiver may not start. Then " + check +
           ", and load it again by Power On Capture.";
  if (c.loading && c.method == LoadMethod::FileUpload)
    return "The link was lost during the upload: " + check + ", wait until the receiver answers, then load again.";
  return "The link was lost: " + check + ", then load again.";
}

std::string stopped(const FailureContext& c) {
  if (!c.loading) return "Nothing was written to the receiver: load again when ready.";
  if (c.method == LoadMethod::FileUpload)
    return "The receiver may hold a partly uploaded file or be restarting: wait until it answers, then load again.";
  return "The receiver may be left in its boot loader: switch it off and on and load again by Power On Capture.";
}

}  // namespace

std::string remedyFor(const FailureContext& c) {
  switch (c.kind) {
    case FailureKind::None: return "";
    case FailureKind::LinkLost: return linkLost(c);
    case FailureKind::ReceiverSilent:
      return "Check that the receiver is switched on and answers on this port (vestrel --identify), then load again.";
    case FailureKind::BootLoaderNotCaught:
      return c.method == LoadMethod::PowerOnCapture
                 ? "Start again with the receiver switched off, and switch it on while the program waits for it."
                 : "Load again by Power On Capture: start it with the receiver switched off, then switch it on.";
    case FailureKind::RefusedByReceiver:
      return "The receiver refused it, in its words above: check that this firmware is meant for this receiver, "
             "then load again.";
    case FailureKind::WrongHardware: return "Load the firmware built for this receiver's hardware version.";
    case FailureKind::WrongReceiver:
      return "Connect the receiver the order names (vestrel --identify tells who answers on a port), or correct "
             "--receiver-id.";
    case FailureKind::SourceRefused:
      return "Check the firmware distribution, get it again if it is damaged, and name it with /source.";
    case FailureKind::PortUnavailable:
      return "Check the port's name (vestrel --list-ports), that no other program holds it and that you may open it.";
    case FailureKind::StoppedByOperator:
    case FailureKind::StoppedBySignal: return stopped(c);
    case FailureKind::Unconfirmed:
      return "Ask the receiver for its firmware version (vestrel --identify) before it goes back to work, and load "
             "again if it is not the one meant.";
    case FailureKind::Other:
      return "The activity log says what failed; load again, and keep the log if it fails the same way.";
  }
  return "";
}
