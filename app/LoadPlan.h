#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "FailureKind.h"
#include "FirmwareImageSet.h"
#include "HardwareFit.h"
#include "ImageFacts.h"
#include "LinkKinds.h"
#include "LoadJob.h"
#include "LoadMethod.h"
#include "PortEntry.h"
#include "PortTest.h"
#include "SourceKind.h"

namespace CMNC {
class AbortSignal;
}

// One load, decided whole before a receiver is touched: the link, the method and its settings,
// the source with the images it names and its digest, and what the result must be. Made by
// makeLoadPlan, which does every check that needs no receiver, or by a window from its pages
// (which checked the same as the operator went); read-only afterwards.
struct LoadPlan {
  PortEntry port;            // the link as the link table parsed it, its address without a password
  std::string password;      // the link's password (TCP/IP), kept apart: never in a text the run shows
  std::string shownPort;     // the port as given, never a password
  LoadMethod method = LoadMethod::SoftBreakCapture;
  std::string methodWord;    // "soft", "power", "fldp", "data": as the command line named it
  SourceKind sourceKind = SourceKind::ZipArchive;
  std::vector<SpeedEntry> testSpeeds;  // the port test's speeds: the chosen one first
  uint32_t speed = 115200;   // the loading speed, bit/s
  uint32_t mtu = 0;          // largest write; 0 the link's own rule
  int blockSize = 16384;     // the file upload's block on links without line speeds
  int replyGapMs = -1;       // quiet line that ends a block's reply; -1 a few characters
  std::string source;        // the source's path
  FirmwareImageSet images;   // the source and the names it was found to hold (the images are read by the load)
  std::vector<ImageFacts> imageFacts;  // each named image read once and its header checked; one a name
                                       // (a window gives those its source page took)
  bool inspected = false;    // imageFacts were taken
  std::string sourceSha256;  // the source file's digest (none for a folder)
  std::string expectVersion; // the main firmware's version the receiver must run afterwards
  HistorySettings history;   // also what the load was made for (history.order) and who signed it
  SignatureTrust trust;      // the keys the source's signature is held to
  std::string digestList;    // "--sha256-file": a folder's signed list of digests
  bool signatureChecked = false;
  std::string signatureWarning;  // a signature that could not be held to a key, none being required
  // What the port test found, when a window ran it on its connection page: the run starts at the
  // load. None: the run walks the pages itself.
  std::optional<PortTestSetup> tested;
  // The port as its Open takes it: the password back in its address.
  PortEntry link() const { return CMNC::WithPassword(port, password); }
  // The port test comes first: every method but Power On Capture.
  bool testsPort() const { return method != LoadMethod::PowerOnCapture; }
};

// Why a request cannot become a plan; nothing was sent anywhere.
struct PlanRefusal {
  std::string text;  // the operator's words, with the remedy
  FailureKind kind = FailureKind::SourceRefused;
};

struct PlanResult {
  std::optional<LoadPlan> plan;
  PlanRefusal refusal;  // when there is no plan
};

// Makes the plan of an unattended run from the operator's settings: the port must be named and
// resolved, the source read and its digest match what was given. stop cuts the source's reading
// short.
PlanResult makeLoadPlan(const LoadJob& job, SourceKind sourceKind, const CMNC::AbortSignal* stop = nullptr);

// Holds the plan's source to its signature and the trusted keys (once; a checked plan passes): the
// key and the trusted comment go into plan.history. "" or why the source is refused.
std::string checkPlanSignature(LoadPlan& plan, const CMNC::AbortSignal* stop = nullptr);

// The receiver the port test found held to the one the order names (plan.history.order): "" when
// the order names none or this one.
std::string receiverMismatch(const LoadPlan& plan, const std::string& identity);

// The way the plan's images go to the receiver, as its version checks judge them.
hardwarefit::Path loadPathOf(const LoadPlan& plan);

// Reads every image the plan names and checks the set before any port opens: each image whole
// and with its header, twins (one file name in several places) that their headers tell apart.
// "" or why the source is refused.
std::string inspectPlanImages(LoadPlan& plan, const CMNC::AbortSignal* stop = nullptr);

// The plan held against the receiver the port test found: of twins, the images built for its
// hardware version are kept (chosen names the kept ones), and a set any image of which it would
// refuse is refused whole (refusal says why). A receiver that did not tell its hardware version
// leaves the check to the boot loader's first answer.
struct ReceiverFit {
  std::string refusal;
  FailureKind kind = FailureKind::WrongHardware;  // of the refusal
  std::vector<std::string> chosen;
};
ReceiverFit fitPlanToReceiver(LoadPlan& plan, const std::string& hardwareVersion);

// What a run was asked to do, as its start event and its row name it: the port as given (any
// password left out), the method, the source.
struct RunRequest {
  std::string port;
  std::string methodWord;
  std::string source;
  PortEntry portEntry;
  HistorySettings history;
};
RunRequest runRequestOf(const LoadJob& job);
