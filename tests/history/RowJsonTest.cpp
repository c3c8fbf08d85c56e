#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "RowJson.h"

namespace {

LoadRecord fullRow() {
  LoadRecord row;
  row.id = "3f1c2b9e-0000-4000-8000-000000000001";
  row.startedAt = "2026-12-10T10:15:02.123Z";
  row.finishedAt = "2026-12-10T10:16:40.001Z";
  row.station = "ST-7";
  row.pid = 4242;
  row.commandLine = "vestrel /port COM3 /source \"fw \\\"new\\\".zip\" /run";
  row.outcome = "failed";
  row.failureKind = "link_lost";
  row.reason = "The link was lost.\r\nCheck the cable.";
  row.receiverId = "<script>alert(1)</script>";
  row.workOrder = "WO-\xc3\xa9t\xc3\xa9";
  row.exitStatus = 1;
  row.images = {{"boot.ldp", "Boot Loader", 16384, "aa", "flashed"}, {"main.ldp", "Main firmware", 1u << 20, "bb", "failed"}};
  row.log = {std::string("\x78\x9c\x00\xff\x01\x02", 6), 120, 4000, true};
  return row;
}

}  // namespace

// A row, its images and its log go through the station API's JSON and come back the same; what a
// station never sent stays empty.
TEST(RowJson, ARowComesBackAsItWasSent) {
  const LoadRecord sent = fullRow();
  LoadRecord read;
  std::string error;
  ASSERT_TRUE(rowjson::fromJson(rowjson::toJson(sent), read, error)) << error;
  EXPECT_EQ(read.id, sent.id);
  EXPECT_EQ(read.pid, 4242);
  EXPECT_EQ(read.commandLine, sent.commandLine);
  EXPECT_EQ(read.reason, sent.reason);
  EXPECT_EQ(read.receiverId, sent.receiverId);
  EXPECT_EQ(read.workOrder, sent.workOrder);
  EXPECT_EQ(read.failureKind, "link_lost");
  EXPECT_EQ(read.exitStatus, 1);
  ASSERT_EQ(read.images.size(), 2u);
  EXPECT_EQ(read.images[1].size, 1u << 20);
  EXPECT_EQ(read.images[1].result, "failed");
  EXPECT_EQ(read.log.packed, sent.log.packed);
  EXPECT_EQ(read.log.textBytes, 120);
  EXPECT_TRUE(read.log.cut);
  EXPECT_EQ(read.firmwareAfter, "");
  EXPECT_FALSE(read.pending);

  LoadRecord bare;
  bare.id.push_back('x');  // (GCC 12 warns falsely of an overlap on the assignment of a literal)
  ASSERT_TRUE(rowjson::fromJson(rowjson::toJson(bare), read, error)) << error;
  EXPECT_FALSE(read.exitStatus.has_value());
  EXPECT_TRUE(read.log.packed.empty());
  EXPECT_TRUE(read.images.empty());
}

// A request that is no row, or exceeds a bound, is refused whole with the field it was.
TEST(RowJson, RefusesWhatIsNoRow) {
  const auto refusal = [](const nlohmann::json& request) {
    LoadRecord row;
    std::string error;
    EXPECT_FALSE(rowjson::fromJson(request.dump(), row, error)) << request.dump().substr(0, 200);
    return error;
  };
  nlohmann::json row = nlohmann::json::parse(rowjson::toJson(fullRow()));
  auto with = [&](const char* key, const nlohmann::json& value) {
    nlohmann::json changed = row;
    changed[key] = value;
    return changed;
  };
  EXPECT_NE(refusal(with("station", 7)).find("\"station\""), std::string::npos);
  EXPECT_NE(refusal(with("pid", "12")).find("\"pid\""), std::string::npos);
  EXPECT_NE(refusal(with("pid", -1)).find("range"), std::string::npos);
  EXPECT_NE(refusal(with("reason", std::string(rowjson::kMaxTextBytes + 1, 'x'))).find("longer"), std::string::npos);
  EXPECT_NE(refusal(with("id", "")).find("\"id\""), std::string::npos);
  EXPECT_NE(refusal(with("id", std::string(65, 'a'))).find("\"id\""), std::string::npos);
  EXPECT_NE(refusal(with("images", nlohmann::json::array({1}))).find("image"), std::string::npos);
  EXPECT_NE(refusal(with("images", std::vector<nlohmann::json>(rowjson::kMaxImages + 1, nlohmann::json::object())))
                .find("at most"),
            std::string::npos);
  EXPECT_NE(refusal(with("log", {{"packed", "not base64!"}})).find("base64"), std::string::npos);
  EXPECT_NE(refusal(with("log", {{"packed", "AAAA"}, {"cut", "yes"}})).find("cut"), std::string::npos);
  EXPECT_NE(refusal(nlohmann::json::array()).find("not a JSON object"), std::string::npos);
  LoadRecord read;
  std::string error;
  EXPECT_FALSE(rowjson::fromJson("{\"id\":\"a\",", read, error));
}

TEST(RowJson, LiveStateAndBase64) {
  LiveState state;
  state.id = "r1";
  state.station = "ST-7";
  state.percent = 42;
  state.secondsLeft = 30;
  state.image = "Main firmware";
  state.imageIndex = 4;
  state.imageCount = 4;
  LiveState read;
  std::string error;
  ASSERT_TRUE(rowjson::fromJson(rowjson::toJson(state), read, error)) << error;
  EXPECT_EQ(read.percent, 42);
  EXPECT_EQ(read.secondsLeft, 30);
  EXPECT_EQ(read.image, "Main firmware");
  state.secondsLeft.reset();
  ASSERT_TRUE(rowjson::fromJson(rowjson::toJson(state), read, error));
  EXPECT_FALSE(read.secondsLeft.has_value());
  EXPECT_FALSE(rowjson::fromJson(R"({"id":"r1","percent":101})", read, error));
  EXPECT_NE(error.find("percent"), std::string::npos);

  for (const std::string& bytes : {std::string(), std::string("f"), std::string("fo"), std::string("foo"),
                                  std::string("\x00\xff\x10\x80", 4)}) {
    std::string back;
    ASSERT_TRUE(rowjson::fromBase64(rowjson::base64(bytes), back));
    EXPECT_EQ(back, bytes);
  }
  EXPECT_EQ(rowjson::base64("foob"), "Zm9vYg==");
  std::string out;
  for (const char* bad : {"Zm9", "Zm=v", "Zm9vYg=A", "====", "Zm9v\nYg=="}) EXPECT_FALSE(rowjson::fromBase64(bad, out)) << bad;
}
