#include "RunOutcome.h"

const char* methodWord(LoadMethod method, SourceKind kind) {
  if (method == LoadMethod::PowerOnCapture) return "power";
  if (method == LoadMethod::FileUpload) return kind == SourceKind::DataFile ? "data" : "fldp";
  return "soft";
}
