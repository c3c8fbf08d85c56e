#include "InputFile.h"

#include <filesystem>
#include <fstream>

#include "PathText.h"

namespace inputfile {
namespace {

std::filesystem::file_status statusOf(const std::string& path, std::error_code& ec) {
  return std::filesystem::status(pathtext::fromUtf8(path), ec);
}

// What a file of this type is, as the operator would name it.
std::string typeName(std::filesystem::file_type type) {
  switch (type) {
    case std::filesystem::file_type::directory: return "a folder";
    case std::filesystem::file_type::character:
    case std::filesystem::file_type::block: return "a device";
    case std::filesystem::file_type::fifo: return "a pipe";
    case std::filesystem::file_type::socket: return "a socket";
    default: return "not a regular file";
  }
}

std::string withoutLineEnd(std::string line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  return line;
}

}  // namespace

std::string notRegularFile(const std::string& path, const std::string& what) {
  std::error_code ec;
  const auto status = statusOf(path, ec);
  if (ec) return what + " " + path + " cannot be read: " + ec.message() + ".";
  if (std::filesystem::is_regular_file(status)) return "";
  const std::string type = typeName(status.type());
  return what + " " + path + " is " + (type.rfind("not", 0) == 0 ? type : type + ", not a regular file") +
         ": name a file.";
}

std::string special(const std::string& path, const std::string& what) {
  std::error_code ec;
  const auto status = statusOf(path, ec);
  if (ec || std::filesystem::is_regular_file(status) || std::filesystem::is_directory(status)) return "";
  return notRegularFile(path, what);
}

bool readLines(const std::string& path, const std::string& what, std::size_t maxBytes, std::size_t maxLineBytes,
               std::vector<std::string>& lines, std::string& error) {
  lines.clear();
  error = notRegularFile(path, what);
  if (!error.empty()) return false;
  std::error_code ec;
  const uintmax_t size = std::filesystem::file_size(pathtext::fromUtf8(path), ec);
  if (!ec && size > maxBytes) {
    error = what + " " + path + " holds " + std::to_string(size) + " bytes, more than the " + std::to_string(maxBytes) +
            " such a file may hold.";
    return false;
  }
  std::ifstream in(pathtext::fromUtf8(path), std::ios::binary);
  if (!in) {
    error = what + " " + path + " cannot be read.";
    return false;
  }
  std::size_t total = 0;
  std::string line;
  while (std::getline(in, line)) {
    total += line.size() + 1;
    if (line.size() > maxLineBytes || total > maxBytes + 1) {
      error = what + " " + path + " holds a line longer than " + std::to_string(maxLineBytes) +
              " bytes or more than " + std::to_string(maxBytes) + " bytes: it is not such a file.";
      return false;
    }
    lines.push_back(withoutLineEnd(line));
  }
  if (in.bad()) {
    error = what + " " + path + " cannot be read.";
    return false;
  }
  return true;
}

}  // namespace inputfile
