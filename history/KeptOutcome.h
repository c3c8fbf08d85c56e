#pragma once
#include <string>
#include <vector>

#include "LoadRecord.h"

// A run's finished row kept beside the station's history file when the history could not take it
// (held locked past every retry, a full disk): a small text file named after the history and the
// run's id, written whole. The next process that opens the history puts the kept rows into it
// before it looks for runs that were interrupted, so a run whose process knew its outcome is
// never taken for one that ended early.
namespace keptoutcome {

// Where the row of run id is kept beside the history at historyPath.
std::string pathFor(const std::string& historyPath, const std::string& id);
// Keeps row beside the history; false with error set.
bool keep(const std::string& historyPath, const LoadRecord& row, std::string& error);

struct Kept {
  std::string path;  // the file, removed once its row is in the history
  LoadRecord row;
};
// The rows kept beside the history; a file that is not one (damaged, of another format) is left
// alone.
std::vector<Kept> find(const std::string& historyPath);

// One row as the file holds it, and back; for tests.
std::string text(const LoadRecord& row);
bool parse(const std::string& text, LoadRecord& row);

}  // namespace keptoutcome
