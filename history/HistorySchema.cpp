#include "HistorySchema.h"

namespace historyschema {

const std::vector<std::string>& migrations() {
  static const std::vector<std::string> steps = {
      // 0 -> 1: the first schema.
      "CREATE TABLE schema_version (version INTEGER NOT NULL);"
      "INSERT INTO schema_version (version) VALUES (0);"
      "CREATE TABLE loads ("
      " id TEXT PRIMARY KEY, started_at TEXT NOT NULL, finished_at TEXT, station TEXT, pid INTEGER,"
      " tool_version TEXT, command_line TEXT, port TEXT, link TEXT, method TEXT, source TEXT,"
      " source_sha256 TEXT, receiver_model TEXT, receiver_id TEXT, receiver_hardware TEXT,"
      " firmware_before TEXT, firmware_after TEXT, outcome TEXT, stage TEXT, exit_status INTEGER,"
      " reason TEXT, log_path TEXT);"
      "CREATE INDEX loads_started_at ON loads (started_at);"
      "CREATE INDEX loads_receiver_id ON loads (receiver_id);"
      "CREATE TABLE load_images ("
      " load_id TEXT NOT NULL REFERENCES loads (id) ON DELETE CASCADE,"
      " file TEXT, title TEXT, size INTEGER, sha256 TEXT);"
      "CREATE INDEX load_images_load_id ON load_images (load_id);",
  };
  return steps;
}

}  // namespace historyschema
