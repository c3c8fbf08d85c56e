#include "ZipFileReader.h"

#include <minizip/ioapi.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "PathText.h"

bool ZipFileReader::open(const std::string& path) {
  file_.open(pathtext::fromUtf8(path), std::ios::binary);
  if (!file_) return !(failed_ = true);
  file_.seekg(0, std::ios::end);
  const std::streamoff end = file_.tellg();
  if (end < 0) return !(failed_ = true);
  size_ = static_cast<uint64_t>(end);
  return true;
}

bool ZipFileReader::fill(uint64_t at) {
  window_.resize(static_cast<std::size_t>(std::min<uint64_t>(kWindowBytes, size_ - at)));
  file_.clear();
  file_.seekg(static_cast<std::streamoff>(at));
  file_.read(reinterpret_cast<char*>(window_.data()), static_cast<std::streamsize>(window_.size()));
  if (file_.gcount() != static_cast<std::streamsize>(window_.size())) {
    window_.clear();
    failed_ = true;
    return false;
  }
  windowStart_ = at;
  return true;
}

std::size_t ZipFileReader::read(void* buffer, std::size_t size) {
  auto* out = static_cast<uint8_t*>(buffer);
  std::size_t done = 0;
  while (done < size && position_ < size_) {
    if (position_ < windowStart_ || position_ >= windowStart_ + window_.size()) {
      if (!fill(position_)) break;
    }
    const std::size_t offset = static_cast<std::size_t>(position_ - windowStart_);
    const std::size_t n = std::min(size - done, window_.size() - offset);
    std::memcpy(out + done, window_.data() + offset, n);
    done += n;
    position_ += n;
  }
  return done;
}

bool ZipFileReader::seek(int64_t offset, int origin) {
  const int64_t base = origin == ZLIB_FILEFUNC_SEEK_SET   ? 0
                       : origin == ZLIB_FILEFUNC_SEEK_CUR ? static_cast<int64_t>(position_)
                                                          : static_cast<int64_t>(size_);
  const int64_t target = base + offset;
  if (target < 0 || static_cast<uint64_t>(target) > size_) return false;
  position_ = static_cast<uint64_t>(target);
  return true;
}

namespace {

ZipFileReader* Reader(voidpf stream) { return static_cast<ZipFileReader*>(stream); }

voidpf ZCALLBACK openFile(voidpf, const void* filename, int mode) {
  if (!filename || (mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ) return nullptr;
  auto reader = std::make_unique<ZipFileReader>();
  if (!reader->open(static_cast<const char*>(filename))) return nullptr;
  return reader.release();  // minizip owns it until closeFile
}

uLong ZCALLBACK readFile(voidpf, voidpf stream, void* buffer, uLong size) {
  return static_cast<uLong>(Reader(stream)->read(buffer, size));
}

uLong ZCALLBACK writeFile(voidpf, voidpf, const void*, uLong) { return 0; }

ZPOS64_T ZCALLBACK tellFile(voidpf, voidpf stream) { return Reader(stream)->tell(); }

long ZCALLBACK seekFile(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
  // minizip passes offsets from the end as their unsigned two's complement
  return Reader(stream)->seek(static_cast<int64_t>(offset), origin) ? 0 : -1;
}

int ZCALLBACK closeFile(voidpf, voidpf stream) {
  std::unique_ptr<ZipFileReader> owned(Reader(stream));
  return 0;
}

int ZCALLBACK errorFile(voidpf, voidpf stream) { return Reader(stream)->failed() ? 1 : 0; }

}  // namespace

void ZipFileReader::fillFunctions(void* functions) {
  auto* f = static_cast<zlib_filefunc64_def*>(functions);
  f->zopen64_file = openFile;
  f->zread_file = readFile;
  f->zwrite_file = writeFile;
  f->ztell64_file = tellFile;
  f->zseek64_file = seekFile;
  f->zclose_file = closeFile;
  f->zerror_file = errorFile;
  f->opaque = nullptr;
}
