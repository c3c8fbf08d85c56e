#pragma once

// The exit statuses of vestrel that scripts and the fleet rely on.
namespace exitstatus {
constexpr int kLoaded = 0;        // a load the receiver confirmed (or a query that was answered)
constexpr int kFailed = 1;        // failed, aborted or refused
constexpr int kUsage = 2;         // the command line cannot be used
constexpr int kUnconfirmed = 3;   // a firmware load the receiver did not confirm afterwards
constexpr int kSignalBase = 128;  // stopped by a signal: 128 + its number
}  // namespace exitstatus
