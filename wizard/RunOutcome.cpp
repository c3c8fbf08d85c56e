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
