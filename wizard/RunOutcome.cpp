#include "RunOutcome.h"

const char* outcomeName(OutcomeKind kind) {
  switch (kind) {
    case OutcomeKind::Confirmed: return "confirmed";
    case OutcomeKind::Unconfirmed: return "unconfirmed";
    case OutcomeKind::Failed: return "failed";
    case OutcomeKind::Aborted: return "aborted";
    case OutcomeKind::Refused: return "refused";
  }
  return "failed";
}

const char* methodWord(LoadMethod method, SourceKind kind) {
  if (method == LoadMethod::PowerOnCapture) return "power";
  if (method == LoadMethod::FileUpload) return kind == SourceKind::DataFile ? "data" : "fldp";
  return "soft";
}
