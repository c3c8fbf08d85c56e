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

std::string imagesSummary(const std::vector<LoadedImage>& images) {
  if (images.empty()) return "";
  std::size_t flashed = 0, stored = 0;
  for (const LoadedImage& image : images) {
    flashed += image.result == ImageResult::Flashed;
    stored += image.result == ImageResult::Stored;
  }
  const bool dataFile = stored > 0 && flashed == 0;
  return imagesDoneText(dataFile ? stored : flashed, images.size(), dataFile);
}

std::string imageResultLine(const LoadedImage& image) {
  return "- " + image.title + " (" + image.file + "): " + imageResultWords(image.result) +
         (image.words.empty() ? "" : ": " + image.words);
}
