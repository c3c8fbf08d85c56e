#pragma once
#include <iterator>
#include <string>

#include "LoadRecord.h"

// The load history's text columns and the fields of a row that hold them: the one place their
// names are spelt, for the tables and for an outcome kept beside the history.
namespace loadcolumns {

// The text columns of "loads" in their order after id and pid; exit_status follows them.
struct TextColumn {
  const char* name;
  std::string LoadRecord::*field;
};
// The columns that hold times: a server keeps them in its time type, and they are read back as
// ISO 8601 UTC text.
inline bool isTimeColumn(const std::string& name) { return name == "started_at" || name == "finished_at"; }

inline constexpr TextColumn kTextColumns[] = {
    {"started_at", &LoadRecord::startedAt},         {"finished_at", &LoadRecord::finishedAt},
    {"station", &LoadRecord::station},             {"tool_version", &LoadRecord::toolVersion},
    {"command_line", &LoadRecord::commandLine},    {"port", &LoadRecord::port},
    {"link", &LoadRecord::link},                   {"method", &LoadRecord::method},
    {"source", &LoadRecord::source},               {"source_sha256", &LoadRecord::sourceSha256},
    {"receiver_model", &LoadRecord::receiverModel}, {"receiver_id", &LoadRecord::receiverId},
    {"receiver_hardware", &LoadRecord::receiverHardware}, {"firmware_before", &LoadRecord::firmwareBefore},
    {"firmware_after", &LoadRecord::firmwareAfter}, {"outcome", &LoadRecord::outcome},
    {"stage", &LoadRecord::stage},                 {"reason", &LoadRecord::reason},
    {"log_path", &LoadRecord::logPath},            {"failure_kind", &LoadRecord::failureKind},
    {"work_order", &LoadRecord::workOrder},        {"operator", &LoadRecord::operatorName},
    {"lot", &LoadRecord::lot},                     {"signer_key", &LoadRecord::signerKey},
    {"signer_comment", &LoadRecord::signerComment},
};

}  // namespace loadcolumns
