#include "RowJson.h"

#include <nlohmann/json.hpp>

#include "LoadColumns.h"

namespace rowjson {
namespace {

using nlohmann::json;

constexpr const char* kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// A field read from object, or its refusal: absent is empty (a text) or zero.
class Reader {
 public:
  explicit Reader(const json& object) : object_(object) {}
  bool text(const char* name, std::string& out) {
    const auto found = object_.find(name);
    if (found == object_.end() || found->is_null()) return true;
    if (!found->is_string()) return fail(name, "is not a text");
    out = found->get<std::string>();
    return out.size() <= kMaxTextBytes || fail(name, "is longer than " + std::to_string(kMaxTextBytes) + " bytes");
  }
  bool integer(const char* name, int64_t& out, int64_t low, int64_t high) {
    const auto found = object_.find(name);
    if (found == object_.end() || found->is_null()) return true;
    if (!found->is_number_integer()) return fail(name, "is not a whole number");
    const int64_t value = found->get<int64_t>();
    if (value < low || value > high) return fail(name, "is out of range");
    out = value;
    return true;
  }
  template <typename Int>
  bool small(const char* name, Int& out, int64_t low, int64_t high) {
    int64_t value = out;
    if (!integer(name, value, low, high)) return false;
    out = static_cast<Int>(value);
    return true;
  }
  bool optional(const char* name, std::optional<int64_t>& out, int64_t low, int64_t high) {
    if (!object_.contains(name) || object_[name].is_null()) return true;
    int64_t value = 0;
    if (!integer(name, value, low, high)) return false;
    out = value;
    return true;
  }
  bool fail(const std::string& name, const std::string& why) {
    error = "\"" + name + "\" " + why + ".";
    return false;
  }
  std::string error;

 private:
  const json& object_;
};

constexpr int64_t kMaxCount = 1'000'000'000;

bool parseObject(const std::string& text, json& object, std::string& error) {
  object = json::parse(text, nullptr, false);
  if (object.is_discarded() || !object.is_object()) return error = "The request is not a JSON object.", false;
  return true;
}

bool readImages(const json& object, LoadRecord& row, std::string& error) {
  const auto images = object.find("images");
  if (images == object.end() || images->is_null()) return true;
  if (!images->is_array() || images->size() > kMaxImages)
    return error = "\"images\" is not a list of at most " + std::to_string(kMaxImages) + " images.", false;
  for (const json& image : *images) {
    if (!image.is_object()) return error = "An image is not an object.", false;
    Reader reader(image);
    RecordedImage read;
    int64_t size = 0;
    if (!reader.text("file", read.file) || !reader.text("title", read.title) ||
        !reader.integer("size", size, 0, int64_t{1} << 40) || !reader.text("sha256", read.sha256) ||
        !reader.text("result", read.result))
      return error = "An image's " + reader.error, false;
    read.size = static_cast<uint64_t>(size);
    row.images.push_back(std::move(read));
  }
  return true;
}

bool readLog(const json& object, LoadRecord& row, std::string& error) {
  const auto log = object.find("log");
  if (log == object.end() || log->is_null()) return true;
  if (!log->is_object()) return error = "\"log\" is not an object.", false;
  Reader reader(*log);
  const auto packed = log->find("packed");
  if (packed == log->end() || !packed->is_string() ||
      packed->get_ref<const std::string&>().size() > (kMaxPackedLogBytes + 2) / 3 * 4 ||
      !fromBase64(packed->get_ref<const std::string&>(), row.log.packed))
    return error = "\"log\".\"packed\" is not the base64 of at most " + std::to_string(kMaxPackedLogBytes) + " bytes.", false;
  bool cut = false;
  if (!reader.integer("text_bytes", row.log.textBytes, 0, kMaxCount) ||
      !reader.integer("file_bytes", row.log.fileBytes, 0, int64_t{1} << 40))
    return error = "\"log\": " + reader.error, false;
  if (log->contains("cut")) {
    if (!(*log)["cut"].is_boolean()) return error = "\"log\".\"cut\" is not true or false.", false;
    cut = (*log)["cut"].get<bool>();
  }
  row.log.cut = cut;
  return true;
}

}  // namespace

std::string base64(const std::string& bytes) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const uint32_t chunk = (uint32_t{static_cast<unsigned char>(bytes[i])} << 16) |
                           (i + 1 < bytes.size() ? uint32_t{static_cast<unsigned char>(bytes[i + 1])} << 8 : 0) |
                           (i + 2 < bytes.size() ? uint32_t{static_cast<unsigned char>(bytes[i + 2])} : 0);
    out += kAlphabet[(chunk >> 18) & 63];
    out += kAlphabet[(chunk >> 12) & 63];
    out += i + 1 < bytes.size() ? kAlphabet[(chunk >> 6) & 63] : '=';
    out += i + 2 < bytes.size() ? kAlphabet[chunk & 63] : '=';
  }
  return out;
}

bool fromBase64(const std::string& text, std::string& bytes) {
  bytes.clear();
  if (text.size() % 4 != 0) return false;
  const std::string alphabet = kAlphabet;
  for (std::size_t i = 0; i < text.size(); i += 4) {
    uint32_t chunk = 0;
    int padding = 0;
    for (std::size_t k = 0; k < 4; ++k) {
      const char c = text[i + k];
      if (c == '=' && i + 4 == text.size() && k >= 2) {
        ++padding;
        chunk <<= 6;
        continue;
      }
      const std::size_t value = alphabet.find(c);
      if (value == std::string::npos || padding > 0) return false;
      chunk = (chunk << 6) | static_cast<uint32_t>(value);
    }
    bytes += static_cast<char>((chunk >> 16) & 0xff);
    if (padding < 2) bytes += static_cast<char>((chunk >> 8) & 0xff);
    if (padding < 1) bytes += static_cast<char>(chunk & 0xff);
  }
  return true;
}

std::string toJson(const LoadRecord& row) {
  json object = {{"id", row.id}, {"pid", row.pid}};
  for (const loadcolumns::TextColumn& column : loadcolumns::kTextColumns)
    if (!(row.*column.field).empty()) object[column.name] = row.*column.field;
  if (row.exitStatus) object["exit_status"] = *row.exitStatus;
  json images = json::array();
  for (const RecordedImage& image : row.images)
    images.push_back({{"file", image.file}, {"title", image.title}, {"size", image.size}, {"sha256", image.sha256},
                      {"result", image.result}});
  object["images"] = std::move(images);
  if (!row.log.packed.empty())
    object["log"] = {{"packed", base64(row.log.packed)},
                     {"text_bytes", row.log.textBytes},
                     {"file_bytes", row.log.fileBytes},
                     {"cut", row.log.cut}};
  return object.dump(-1, ' ', true, json::error_handler_t::replace);
}

bool fromJson(const std::string& text, LoadRecord& row, std::string& error) {
  row = {};
  json object;
  if (!parseObject(text, object, error)) return false;
  Reader reader(object);
  std::optional<int64_t> exitStatus;
  bool ok = reader.text("id", row.id) && reader.integer("pid", row.pid, 0, int64_t{1} << 40) &&
            reader.optional("exit_status", exitStatus, -1000, 1000);
  for (const loadcolumns::TextColumn& column : loadcolumns::kTextColumns)
    ok = ok && reader.text(column.name, row.*column.field);
  if (!ok) return error = reader.error, false;
  if (exitStatus) row.exitStatus = static_cast<int>(*exitStatus);
  if (row.id.empty() || row.id.size() > 64) return error = "\"id\" is not a run's id.", false;
  return readImages(object, row, error) && readLog(object, row, error);
}

std::string toJson(const LiveState& state) {
  json object = {{"id", state.id},
                 {"station", state.station},
                 {"pid", state.pid},
                 {"port", state.port},
                 {"method", state.method},
                 {"source", state.source},
                 {"receiver_id", state.receiverId},
                 {"receiver_model", state.receiverModel},
                 {"work_order", state.workOrder},
                 {"stage", state.stage},
                 {"image", state.image},
                 {"image_index", state.imageIndex},
                 {"image_count", state.imageCount},
                 {"percent", state.percent},
                 {"outcome", state.outcome},
                 {"failure_kind", state.failureKind},
                 {"reason", state.reason}};
  if (state.secondsLeft) object["seconds_left"] = *state.secondsLeft;
  return object.dump(-1, ' ', true, json::error_handler_t::replace);
}

bool fromJson(const std::string& text, LiveState& state, std::string& error) {
  state = {};
  json object;
  if (!parseObject(text, object, error)) return false;
  Reader reader(object);
  const bool ok = reader.text("id", state.id) && reader.text("station", state.station) &&
                  reader.integer("pid", state.pid, 0, int64_t{1} << 40) && reader.text("port", state.port) &&
                  reader.text("method", state.method) && reader.text("source", state.source) &&
                  reader.text("receiver_id", state.receiverId) && reader.text("receiver_model", state.receiverModel) &&
                  reader.text("work_order", state.workOrder) && reader.text("stage", state.stage) &&
                  reader.text("image", state.image) && reader.small("image_index", state.imageIndex, 0, kMaxCount) &&
                  reader.small("image_count", state.imageCount, 0, kMaxCount) &&
                  reader.small("percent", state.percent, 0, 100) &&
                  reader.optional("seconds_left", state.secondsLeft, 0, kMaxCount) &&
                  reader.text("outcome", state.outcome) && reader.text("failure_kind", state.failureKind) &&
                  reader.text("reason", state.reason);
  if (!ok) return error = reader.error, false;
  if (state.id.empty() || state.id.size() > 64) return error = "\"id\" is not a run's id.", false;
  return true;
}

}  // namespace rowjson
