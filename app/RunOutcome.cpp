#include "RunOutcome.h"

ReceiverFacts receiverFactsOf(const PortTestSetup& tested, const std::string& identity, const std::string& hardware,
                              const std::string& firmwareAfter) {
  ReceiverFacts facts;
  facts.model = tested.model;
  facts.id = identity;
  facts.hardware = hardware;
  facts.firmwareBefore = tested.mainFirmware;
  facts.firmwareAfter = firmwareAfter;
  return facts;
}

const char* methodWord(LoadMethod method, SourceKind kind) {
  if (method == LoadMethod::PowerOnCapture) return "power";
  if (method == LoadMethod::FileUpload) return kind == SourceKind::DataFile ? "data" : "fldp";
  return "soft";
}
