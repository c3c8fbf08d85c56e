#include "KeptOutcome.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "LoadColumns.h"
#include "PathText.h"
#include "ReplacedFile.h"

namespace keptoutcome {
namespace {

constexpr const char* kHeader = "vestrel-kept-outcome 1";
constexpr const char* kInfix = ".outcome-";
// A kept row is a few kilobytes: a larger file is not one.
constexpr std::uintmax_t kMaxFileBytes = 1 << 20;
// Process ids, exit statuses and image sizes (at most 256 MiB) fit in nine digits.
constexpr std::size_t kMaxDigits = 9;

// Tabs, line ends and backslashes escaped, so a value is one field of one line.
std::string escaped(const std::string& value) {
  std::string out;
  for (const char c : value) {
    if (c == '\\') out += "\\\\";
    else if (c == '\t') out += "\\t";
    else if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else out += c;
  }
  return out;
}

std::string unescaped(const std::string& field) {
  std::string out;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] != '\\' || i + 1 == field.size()) {
      out += field[i];
      continue;
    }
    const char next = field[++i];
    out += next == 't' ? '\t' : next == 'n' ? '\n' : next == 'r' ? '\r' : next;
  }
  return out;
}

std::vector<std::string> fields(const std::string& line) {
  std::vector<std::string> out;
  std::size_t start = 0;
  for (;;) {
    const std::size_t tab = line.find('\t', start);
    out.push_back(unescaped(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start)));
    if (tab == std::string::npos) return out;
    start = tab + 1;
  }
}

// A whole number that fits: an optional minus, then 1 to 9 digits.
bool isNumber(const std::string& text) {
  const std::size_t digits = text.size() - (text.rfind('-', 0) == 0 ? 1 : 0);
  return digits >= 1 && digits <= kMaxDigits && text.find_first_not_of("0123456789", text.size() - digits) == std::string::npos;
}

// One "name<TAB>value" line into row; false when it is none of a row's.
bool take(const std::vector<std::string>& f, LoadRecord& row) {
  // An outcome kept by an older version has no result column.
  if (f[0] == "image" && (f.size() == 5 || f.size() == 6) && isNumber(f[3]) && f[3][0] != '-') {
    row.images.push_back({f[1], f[2], static_cast<uint64_t>(std::stoll(f[3])), f[4], f.size() == 6 ? f[5] : ""});
    return true;
  }
  if (f.size() != 2) return false;
  const std::string& name = f[0];
  const std::string& value = f[1];
  if (name == "id") row.id = value;
  else if (name == "pid" && isNumber(value)) row.pid = std::stoll(value);
  else if (name == "exit_status" && isNumber(value)) row.exitStatus = std::stoi(value);
  else if (name == "pending") row.pending = value == "1";
  else {
    for (const loadcolumns::TextColumn& column : loadcolumns::kTextColumns) {
      if (name != column.name) continue;
      row.*column.field = value;
      return true;
    }
    return false;
  }
  return true;
}

}  // namespace

std::string pathFor(const std::string& historyPath, const std::string& id) { return historyPath + kInfix + id; }

std::string text(const LoadRecord& row) {
  std::ostringstream out;
  out << kHeader << "\n" << "id\t" << escaped(row.id) << "\npid\t" << row.pid << "\n";
  for (const loadcolumns::TextColumn& column : loadcolumns::kTextColumns)
    out << column.name << "\t" << escaped(row.*column.field) << "\n";
  if (row.exitStatus) out << "exit_status\t" << *row.exitStatus << "\n";
  out << "pending\t" << (row.pending ? 1 : 0) << "\n";
  for (const RecordedImage& image : row.images)
    out << "image\t" << escaped(image.file) << "\t" << escaped(image.title) << "\t" << image.size << "\t"
        << escaped(image.sha256) << "\t" << escaped(image.result) << "\n";
  return out.str();
}

bool parse(const std::string& text, LoadRecord& row) {
  row = {};
  std::istringstream in(text);
  std::string line;
  if (!std::getline(in, line) || line != kHeader) return false;
  while (std::getline(in, line))
    if (!line.empty() && !take(fields(line), row)) return false;
  return !row.id.empty() && !row.finishedAt.empty();
}

bool keep(const std::string& historyPath, const LoadRecord& row, std::string& error) {
  return replacedfile::write(pathFor(historyPath, row.id), text(row), error);
}

std::vector<Kept> find(const std::string& historyPath) {
  const std::filesystem::path history = pathtext::fromUtf8(historyPath);
  const std::string prefix = pathtext::toUtf8(history.filename()) + kInfix;
  std::vector<Kept> kept;
  std::error_code ec;
  const std::filesystem::path folder = history.parent_path().empty() ? "." : history.parent_path();
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    const std::string name = pathtext::toUtf8(entry.path().filename());
    std::error_code statusEc;
    if (name.rfind(prefix, 0) != 0 || name.find(".tmp-") != std::string::npos || !entry.is_regular_file(statusEc) ||
        entry.file_size(statusEc) > kMaxFileBytes)
      continue;
    std::ifstream in(entry.path(), std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    Kept one{pathtext::toUtf8(entry.path()), {}};
    if (parse(content.str(), one.row)) kept.push_back(std::move(one));
  }
  return kept;
}

}  // namespace keptoutcome
