#include "ZipArchive.h"

#include <minizip/unzip.h>

#include "ZipFileReader.h"

namespace {

unzFile Handle(void* h) { return static_cast<unzFile>(h); }

}  // namespace

ZipArchive::~ZipArchive() { close(); }

bool ZipArchive::open(const std::string& path) {
  close();
  zlib_filefunc64_def functions{};
  ZipFileReader::fillFunctions(&functions);
  handle_ = unzOpen2_64(path.c_str(), &functions);
  return handle_ != nullptr;
}

void ZipArchive::close() {
  if (handle_) unzClose(Handle(handle_));
  handle_ = nullptr;
}

bool ZipArchive::forEachEntry(const std::function<void(const EntryInfo&)>& visit) {
  if (!handle_) return false;
  int rc = unzGoToFirstFile(Handle(handle_));
  while (rc == UNZ_OK) {
    unz_file_info64 info{};
    char name[kNameBufferSize] = {};
    if (unzGetCurrentFileInfo64(Handle(handle_), &info, name, sizeof name - 1, nullptr, 0, nullptr, 0) != UNZ_OK)
      return false;
    name[sizeof name - 1] = '\0';  // a longer name is cut, always terminated
    visit(EntryInfo{name, info.uncompressed_size});
    rc = unzGoToNextFile(Handle(handle_));
  }
  return rc == UNZ_END_OF_LIST_OF_FILE;
}

bool ZipArchive::readEntry(const std::string& name, std::vector<uint8_t>& data, std::string& error) {
  data.clear();
  if (!handle_) {
    error = "the archive is not open";
    return false;
  }
  if (unzLocateFile(Handle(handle_), name.c_str(), 2 /* ignore case */) != UNZ_OK) {
    error = "no entry " + name + " in the archive";
    return false;
  }
  unz_file_info64 info{};
  if (unzGetCurrentFileInfo64(Handle(handle_), &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) {
    error = "the archive's directory is damaged";
    return false;
  }
  if (info.uncompressed_size > kMaxEntryBytes) {
    error = name + " declares " + std::to_string(info.uncompressed_size) +
            " bytes; firmware images are at most 256 MiB";
    return false;
  }
  if (unzOpenCurrentFile(Handle(handle_)) != UNZ_OK) {
    error = "the entry " + name + " cannot be opened";
    return false;
  }
  const std::size_t size = static_cast<std::size_t>(info.uncompressed_size);
  data.resize(size);
  std::size_t got = 0;
  bool failed = false;
  while (got < size) {
    const unsigned chunk = static_cast<unsigned>(std::min<std::size_t>(size - got, 1u << 20));
    int n = unzReadCurrentFile(Handle(handle_), data.data() + got, chunk);
    if (n <= 0) {
      failed = true;
      break;
    }
    got += static_cast<std::size_t>(n);
  }
  // The entry must end exactly where the archive says it does. minizip keeps the CRC-32 of what it
  // inflated and compares it with the one the archive records when the entry is closed.
  uint8_t extra = 0;
  const bool longer = !failed && unzReadCurrentFile(Handle(handle_), &extra, 1) > 0;
  const int closed = unzCloseCurrentFile(Handle(handle_));
  if (failed || longer) {
    data.clear();
    error = "the data of " + name + " is damaged or ends early";
    return false;
  }
  if (closed != UNZ_OK) {
    data.clear();
    error = closed == UNZ_CRCERROR ? "the CRC-32 of " + name + " does not match the archive"
                                   : "the data of " + name + " is damaged";
    return false;
  }
  return true;
}
