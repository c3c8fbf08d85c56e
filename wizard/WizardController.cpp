#include "WizardController.h"

#include "ActivityLog.h"
#include "ControlIds.h"
#include "FirmwareImageSet.h"
#include "ImageCatalogue.h"
#include "LinkKinds.h"
#include "PortEnumeration.h"
#include "PortResolution.h"
#include "Trimmed.h"
#include "Loader.h"
#include "WizardEvents.h"
#include "WizardModel.h"
#include "WizardView.h"

using namespace ids;

namespace {

// Every page shows where the operator is and the way to the About box.
const std::vector<int> kConnectionPage = {kCancel, kPageText, kNext, kPortList, kMethodList, kTestSelect,
                                          kMethodLabel, kPortLabel, kLogBox, kSpeedLabel, kSpeedList,
                                          kConnectionList, kConnectionLabel, kSetUpDevices, kStepText, kAboutButton};
const std::vector<int> kSourcePage = {kCancel, kBack, kNext, kPageText, kPortList, kPortLabel, kTestSelect, kLogBox,
                                      kStepText, kAboutButton};
const std::vector<int> kLoadingPage = {kCancel, kBack, kPageEdit, kLogBox, kStepText, kAboutButton};

std::vector<PortEntry> enumeratedPorts(ConnectionKind kind) {
  if (CMNC::LinkKindOf(kind).stored) return {};
  CMNC::EnumeratePorts(kind);
  return CMNC::PortList();
}

// A choice that cannot be taken here is listed greyed, with the reason beside its name.
template <typename T>
std::vector<ControlState::Item> itemsOf(const std::vector<wizard::Choice<T>>& choices) {
  std::vector<ControlState::Item> items;
  for (const auto& c : choices) {
    if (c.unusable.empty()) items.push_back({c.text, static_cast<int>(c.value)});
    else items.push_back({c.text + " (" + c.unusable + ")", static_cast<int>(c.value), false});
  }
  return items;
}

bool itemUsable(const ControlState& list, int index) {
  return index >= 0 && index < static_cast<int>(list.items.size()) && list.items[static_cast<std::size_t>(index)].enabled;
}


}  // namespace

WizardController::WizardController(WizardView& view, EngineSession& session, LoadJob& job, SourceKind& sourceKind,
                                   FirmwareImageSet& images, Options options)
    : view_(view),
      session_(session),
      job_(job),
      sourceKind_(sourceKind),
      images_(images),
      options_(std::move(options)),
      controls_(view) {
  if (!options_.ports) options_.ports = enumeratedPorts;
  if (job_.run || job_.methodGiven) selectedMethod_ = job_.method;
  createControls();
}

WizardController::~WizardController() {
  if (loadRun_) loadRun_->abort();  // the row of a load still under way says it was stopped
  stopRun();
}

void WizardController::createControls() {
  const std::pair<int, const char*> texts[] = {
      {kPageText, "Static"},       {kPercent, "100%"},         {kSpinner, "|"},
      {kConnectionLabel, "Connection:"}, {kPortLabel, "Serial port:"}, {kMethodLabel, "Loading method:"},
      {kSpeedLabel, "Block size:"}, {kSetUpDevices, "Set up devices"}, {kTestSelect, "Test"},
      {kFwLoaded, "FW Loaded!"},   {kBack, "<< Back"},         {kCancel, "Cancel"},
      {kNext, "Next >>"},          {kPageEdit, ""},            {kLogBox, ""},
      {kProgress, ""},             {kProgressText, ""},        {kStepText, ""},
      {kAboutButton, "About"}};
  for (const auto& [id, text] : texts) controls_.setText(id, text);
  controls_.setItems(kConnectionList, itemsOf(wizard::connectionKinds(options_.bluetoothAvailable)), 0);
  std::vector<ControlState::Item> sizes;
  for (int size : wizard::blockSizes()) sizes.push_back({std::to_string(size), size});
  controls_.setItems(kBlockSizeList, sizes, 0);
  controls_.setCurrent(kBlockSizeList, controls_.state(kBlockSizeList).find(wizard::kDefaultBlockSize));
  for (int id : {kPortList, kMethodList, kSpeedList}) controls_.setItems(id, {}, -1);
}

void WizardController::start() {
  if (job_.run && !sourceDigestsMatch()) return;
  next();
}

std::string WizardController::title() const {
  const std::string base = wizard::windowTitle(titleBase_, titlePort_, receiverModel_);
  return timeLeft_.empty() ? base : base + " - " + timeLeft_;
}

void WizardController::post(int id) {
  view_.post([this, id] { press(id); });
}

void WizardController::press(int id) {
  switch (id) {
    case kBack: back(); break;
    case kNext: next(); break;
    case kCancel:
      if (running()) operatorStopped_ = true;
      cancel();
      break;
    case kTestSelect:
      if (page_ == Page::Connection) test();
      else if (page_ == Page::Source) selectSource();
      break;
    case kSetUpDevices: openSetUpDevices(); break;
    case kAboutButton:
    case kAboutCommand: view_.openAbout(); break;
    default: break;
  }
}

void WizardController::choose(int id, int index) {
  if (id == kConnectionList && !itemUsable(state(id), index)) {
    refuseConnection(index);
    return;
  }
  controls_.setCurrent(id, index);
  switch (id) {
    case kConnectionList: connectionChange(); break;
    case kPortList:
      if (page_ == Page::Connection) {
        if (chosenPortIndex() >= 0 && ports_[static_cast<std::size_t>(chosenPortIndex())].name != job_.port)
          job_.port.clear();  // the operator's choice, no longer the command line's port
        portChange();
      } else if (page_ == Page::Source) {
        sourceChange();
      }
      break;
    case kMethodList: methodChange(); break;
    case kSpeedList:
      if (state(kSpeedList).current >= 0) job_.speed = static_cast<uint32_t>(state(kSpeedList).data());
      break;
    default: break;
  }
}

// ---------------------------------------------------------------------------------------------
// Navigation and pages

void WizardController::next() {
  if (running()) return;
  if (!page_) {
    enterPage(Page::Connection);
  } else if (page_ == Page::Connection) {
    const int index = chosenPortIndex();
    if (index >= 0) portEntry_ = ports_[static_cast<std::size_t>(index)];
    enterPage(Page::Source);
  } else if (page_ == Page::Source) {
    enterPage(Page::Loading);
  }
}

void WizardController::back() {
  if (running()) return;
  if (page_ == Page::Source) enterPage(Page::Connection);
  else if (page_ == Page::Loading) enterPage(Page::Source);
}

void WizardController::enterPage(Page page) {
  page_ = page;
  controls_.setText(kStepText, wizard::stepText(static_cast<int>(page)));
  controls_.setText(kBack, "<< Back");
  if (page == Page::Connection) enterConnectionPage();
  else if (page == Page::Source) enterSourcePage();
  else enterLoadingPage();
  if (page == Page::Loading) controls_.enable(kNext, false);
  if (page == Page::Connection) controls_.enable(kBack, false);
}

void WizardController::enterConnectionPage() {
  controls_.showOnly(kConnectionPage);
  controls_.setPageText(wizard::connectionPageText());
  const int index = state(kConnectionList).find(static_cast<int>(job_.connection));
  const bool usable = itemUsable(state(kConnectionList), index);
  // A link the command line named that cannot be used here is said, never silently replaced.
  const std::string unusableLink =
      !usable && !job_.port.empty()
          ? "The port " + CMNC::ShownPortText(job_.port) + " needs a " + CMNC::LinkKindOf(job_.connection).label +
                " link, which cannot be used here (no adapter was found): choose the receiver's port below.\r\n"
          : "";
  controls_.setCurrent(kConnectionList, usable ? index : 0);
  connectionChange();
  controls_.clear(kLogBox);
  controls_.append(kLogBox, unusableLink + portNotListed_);
  controls_.setText(kTestSelect, "Test");
  if (!job_.run) return;
  if (state(kNext).enabled) {
    post(kNext);
  } else if (state(kTestSelect).enabled) {
    post(kTestSelect);
  } else {
    // Nothing to test and nowhere to go: an unattended run would wait for ever.
    controls_.append(kLogBox, state(kPortList).text + "\r\n");
    endUnattended(false);
  }
}

ConnectionKind WizardController::chosenConnection() const {
  return static_cast<ConnectionKind>(state(kConnectionList).data(static_cast<int>(ConnectionKind::Serial)));
}

int WizardController::chosenPortIndex() const {
  const int index = state(kPortList).data();
  return index >= 0 && index < static_cast<int>(ports_.size()) ? index : -1;
}

void WizardController::connectionChange() {
  if (page_ != Page::Connection || running()) return;
  const ConnectionKind kind = chosenConnection();
  const bool changed = kind != job_.connection;
  job_.connection = kind;
  if (changed) controls_.clear(kLogBox);
  fillPortList(changed);
  fillMethodList(kind);
  fillSpeedList(kind);
  const bool lineSpeeds = CMNC::LinkKindOf(kind).policy.lineSpeeds;
  controls_.setText(kSpeedLabel, lineSpeeds ? "Speed:" : "Block size:");
  controls_.show(kSpeedList, lineSpeeds);
  controls_.show(kBlockSizeList, !lineSpeeds);
  controls_.enable(kBlockSizeList, !lineSpeeds);
  portChange();
}

// A kind of link this computer cannot use stays listed, greyed; chosen anyway (a window that
// cannot grey an item), the list keeps the kind it had and the log box says why.
void WizardController::refuseConnection(int index) {
  if (index < 0 || index >= static_cast<int>(state(kConnectionList).items.size())) return;
  controls_.setCurrent(kConnectionList, state(kConnectionList).find(static_cast<int>(job_.connection)));
  controls_.append(kLogBox, state(kConnectionList).items[static_cast<std::size_t>(index)].text +
                                " cannot be used on this computer.\r\n");
}

// The operator typed a port into the port box: a device path, or any port "/port" takes. It is
// listed and chosen, under its kind of link; what cannot be a port is said in the log box.
void WizardController::typePort(const std::string& typed) {
  const std::string text = wizardtext::trimmed(typed);
  if (page_ != Page::Connection || running() || text.empty()) return;
  if (chosenPortIndex() >= 0 && text == state(kPortList).text) return;  // the listed entry, unchanged
  CMNC::PortText port;
  std::string error;
  if (!CMNC::ParsePortText(text, port, error)) {
    controls_.append(kLogBox, "The port " + CMNC::ShownPortText(text) + " cannot be used: " + error + "\r\n");
    controls_.setCurrent(kPortList, state(kPortList).current);  // the box shows the chosen entry again
    return;
  }
  job_.port = port.text;
  job_.portEntry = CMNC::EntryOf(port, port.text);
  portIndex_ = -1;
  const int kindIndex = state(kConnectionList).find(static_cast<int>(port.kind));
  if (port.kind != job_.connection && itemUsable(state(kConnectionList), kindIndex)) {
    controls_.setCurrent(kConnectionList, kindIndex);
    connectionChange();
    return;
  }
  if (port.kind != job_.connection) {
    refuseConnection(kindIndex);
    return;
  }
  fillPortList(false);
  portChange();
}

void WizardController::fillMethodList(ConnectionKind kind) {
  const auto items = itemsOf(wizard::methodsFor(kind));
  controls_.setItems(kMethodList, items, 0);
  const int index = state(kMethodList).find(static_cast<int>(selectedMethod_));
  if (index < 0) {
    selectedMethod_ = static_cast<LoadMethod>(items.front().data);
    images_.names.clear();
  } else {
    controls_.setCurrent(kMethodList, index);
  }
}

void WizardController::fillSpeedList(ConnectionKind kind) {
  std::vector<ControlState::Item> items;
  int chosen = -1;
  for (const SpeedEntry& e : wizard::speedsFor(kind)) {
    items.push_back({e.text, e.speed});
    if (chosen < 0 && e.speed <= static_cast<int>(job_.speed)) chosen = static_cast<int>(items.size()) - 1;
  }
  if (chosen < 0) {
    chosen = 0;
    job_.speed = static_cast<uint32_t>(items.front().data);
  }
  controls_.setItems(kSpeedList, items, chosen);
}

void WizardController::fillPortList(bool kindChanged) {
  const ConnectionKind kind = job_.connection;
  ports_ = options_.ports(kind);
  controls_.setText(kPortLabel, CMNC::LinkKindOf(kind).portLabel);
  controls_.enable(kSetUpDevices, CMNC::LinkKindOf(kind).stored);

  int chosen = kindChanged ? -1 : portIndex_;
  if (chosen >= static_cast<int>(ports_.size())) chosen = -1;
  for (std::size_t i = 0; chosen < 0 && i < ports_.size(); ++i)
    if (ports_[i].name == job_.port) chosen = static_cast<int>(i);
  PortEntry named;
  std::string unusable;
  portNotListed_.clear();
  if (chosen < 0 && !job_.port.empty() && entryOfJob(job_, named, unusable) && named.kind == kind) {
    ports_.push_back(named);  // shown by its canonical text: never a password
    chosen = static_cast<int>(ports_.size()) - 1;
  } else if (chosen < 0 && !job_.port.empty() && !unusable.empty() && !kindChanged) {
    portNotListed_ = "The port " + CMNC::ShownPortText(job_.port) + " cannot be used: " + unusable + "\r\n";
  }
  std::vector<ControlState::Item> items;
  for (std::size_t i = 0; i < ports_.size(); ++i) items.push_back({wizard::portItemText(ports_[i]), static_cast<int>(i)});
  if (ports_.empty()) items.push_back({"No devices found", -1});
  controls_.setItems(kPortList, items, chosen >= 0 && chosen < static_cast<int>(items.size()) ? chosen : 0);
  // A device the system does not list (a pseudo-terminal, a port behind an unusual driver) can be
  // typed; stored hosts and devices are set up in their own dialog.
  controls_.setEditable(kPortList, !CMNC::LinkKindOf(kind).stored);
}

void WizardController::portChange() {
  const int index = chosenPortIndex();
  if (index < 0) {
    testedMethod_.reset();
  } else {
    const PortEntry& entry = ports_[static_cast<std::size_t>(index)];
    if (state(kPortList).current != portIndex_ || entry.address != portEntry_.address) {
      testedMethod_.reset();
      titlePort_ = entry.name;
      receiverModel_.clear();
      updateTitle();
      portEntry_ = entry;
    }
  }
  portIndex_ = state(kPortList).current;
  methodChange();
}

void WizardController::methodChange() {
  if (page_ != Page::Connection) return;
  if (state(kMethodList).current >= 0) {
    const auto chosen = static_cast<LoadMethod>(state(kMethodList).data());
    if ((chosen == LoadMethod::FileUpload) != (selectedMethod_ == LoadMethod::FileUpload)) {
      images_.names.clear();  // the chosen firmware is forgotten
      images_.source.clear();
    }
    selectedMethod_ = chosen;
  }
  const bool portChosen = chosenPortIndex() >= 0;
  controls_.enable(kTestSelect, selectedMethod_ != LoadMethod::PowerOnCapture && portChosen);
  controls_.enable(kNext, selectedMethod_ == LoadMethod::PowerOnCapture || testedMethod_ == selectedMethod_);
  controls_.enable(kMethodList, true);
  controls_.enable(kPortList, true);
  controls_.enable(kSpeedList, state(kSpeedList).items.size() > 1);
  if (ports_.empty()) {
    for (int id : {kTestSelect, kNext, kPortList, kSpeedList, kMethodList}) controls_.enable(id, false);
  }
  if (running()) {
    lockForRun();
  } else {
    controls_.enable(kConnectionList, true);
    controls_.enable(kSetUpDevices, CMNC::LinkKindOf(job_.connection).stored);
  }
}

// While a run goes on nothing may start another one or change the link it uses.
void WizardController::lockForRun() {
  for (int id : {kTestSelect, kNext, kBack, kPortList, kSpeedList, kMethodList, kConnectionList, kSetUpDevices,
                 kBlockSizeList})
    controls_.enable(id, false);
}

void WizardController::updateTitle() { view_.titleChanged(title()); }

// ---------------------------------------------------------------------------------------------
// Source page

void WizardController::enterSourcePage() {
  controls_.showOnly(kSourcePage);
  controls_.setPageText(wizard::sourcePageText());
  controls_.setEditable(kPortList, false);
  controls_.setText(kPortLabel, "Source:");
  controls_.setText(kTestSelect, "Select");
  controls_.setText(kCancel, "Cancel");
  controls_.setItems(kPortList, itemsOf(wizard::sourceKinds(selectedMethod_)), 0);
  const int index = state(kPortList).find(static_cast<int>(sourceKind_));
  controls_.setCurrent(kPortList, index < 0 ? 0 : index);
  sourceIndex_ = -1;
  sourceChange();
  if (job_.run) {
    post(kTestSelect);
  } else if (!job_.source.empty() && !sourceOffered_) {
    // The command line's source is chosen once, as "/run" would choose it.
    sourceOffered_ = true;
    selectSourcePath(job_.source);
  }
}

void WizardController::sourceChange() {
  const int index = state(kPortList).current;
  const auto kind = static_cast<SourceKind>(state(kPortList).data());
  controls_.setText(kTestSelect, kind == SourceKind::Folder ? "Select one..." : "Select file...");
  if (sourceIndex_ >= 0 && index != sourceIndex_) {
    images_.names.clear();
    images_.source.clear();
  }
  sourceIndex_ = index;
  sourceKind_ = kind;
  controls_.enable(kNext, !images_.names.empty());
  controls_.clear(kLogBox);
  if (images_.names.empty()) {
    sourceFacts_.clear();
    controls_.append(kLogBox, images_.source);
    if (!images_.source.empty()) ActivityLog::Instance().Write("\r\n");
    images_.source.clear();
  } else {
    controls_.append(kLogBox, wizard::sourceListing(images_));
    sourceFacts_.clear();
    if (inspectImages(images_, sourceKind_, sourceFacts_).empty())
      controls_.append(kLogBox, "\r\n" + wizard::imageDetails(sourceFacts_, tested_.mainFirmware, tested_.hardware));
    else
      sourceFacts_.clear();  // the load reads them again and says why not
  }
}

void WizardController::selectSource() {
  if (job_.run) {
    selectSourcePath(job_.source);
    return;
  }
  const std::string chosen = view_.chooseSourcePath(sourceKind_, selectedMethod_);
  if (!chosen.empty()) selectSourcePath(chosen);  // cancelled: nothing changes
}

uint64_t WizardController::maxSourceBytes() const {
  constexpr uint64_t kMiB = 1024 * 1024;
  return job_.maxSourceMib ? job_.maxSourceMib * kMiB : FirmwareImageSet::kDefaultMaxSourceBytes;
}

void WizardController::selectSourcePath(const std::string& path) {
  const bool loaders = selectedMethod_ != LoadMethod::FileUpload;
  images_.maxSourceBytes = maxSourceBytes();
  std::string error = images_.scanSource(path, sourceKind_, loaders);
  if (error.empty()) error = digestSourceSet(path);
  if (!error.empty()) {
    images_.names.clear();
    images_.source = error;
  }
  if (sourceKind_ == SourceKind::ZipImage && images_.names.size() > 1) {
    if (job_.run) {
      images_.names.clear();  // nobody can pick one image without a display
      images_.source = "Pick one image of the archive interactively, or name the image file itself.";
    } else if (!view_.pickImages(images_.names, loaders)) {
      images_.names.clear();
    }
  }
  sourceIndex_ = state(kPortList).current;
  sourceChange();
  if (!job_.run) return;
  if (state(kNext).enabled) post(kNext);
  else endUnattended(false);
}

// ---------------------------------------------------------------------------------------------
// Loading page

void WizardController::enterLoadingPage() {
  controls_.showOnly(kLoadingPage);
  controls_.enable(kPercent, true);
  controls_.setPageText("");
  controls_.enable(kNext, false);
  if (images_.names.size() == 1 && catalogue::isRamLoaderName(images_.names[0])) {
    controls_.setPageText(std::string("The file ") + catalogue::kRamLoaderFile +
                          " is a helper file which can't be loaded alone. Please return back and select another file(s).");
    endUnattended(false);
  } else {
    controls_.enable(kBack, false);
    startLoad();
  }
  if (!running()) controls_.enable(kBack, true);
}

void WizardController::openSetUpDevices() {
  if (running()) return;
  if (view_.openSetUpDevices(job_.connection)) {
    portIndex_ = -1;
    connectionChange();
  }
}
