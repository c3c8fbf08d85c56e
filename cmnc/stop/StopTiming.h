#pragma once
// How often a wait looks at the abort latch where the system cannot wait for it directly.

namespace CMNC::timing {

constexpr int kAbortSliceMs = 10;                // Windows: a socket wait looks at the abort latch this often

}  // namespace CMNC::timing
