#include "HistorySchema.h"

namespace historyschema {

std::vector<std::string> migrations(const std::string& dialect) {
  const bool sqlite = dialect == "sqlite";
  return {
      // 0 -> 1: the first schema.
      "CREATE TABLE schema_version (version INTEGER NOT NULL);"
      "INSERT INTO schema_version (version) VALUES (0);"
      "CREATE TABLE loads ("
      " id TEXT PRIMARY KEY, started_at TEXT NOT NULL, finished_at TEXT, station TEXT, pid BIGINT,"
      " tool_version TEXT, command_line TEXT, port TEXT, link TEXT, method TEXT, source TEXT,"
      " source_sha256 TEXT, receiver_model TEXT, receiver_id TEXT, receiver_hardware TEXT,"
      " firmware_before TEXT, firmware_after TEXT, outcome TEXT, stage TEXT, exit_status INTEGER,"
      " reason TEXT, log_path TEXT);"
      "CREATE INDEX loads_started_at ON loads (started_at);"
      "CREATE INDEX loads_receiver_id ON loads (receiver_id);"
      "CREATE TABLE load_images ("
      " load_id TEXT NOT NULL REFERENCES loads (id) ON DELETE CASCADE,"
      " file TEXT, title TEXT, size BIGINT, sha256 TEXT);"
      "CREATE INDEX load_images_load_id ON load_images (load_id);",
      // 1 -> 2: a row a station keeps until the line's server has it (pending), and the images'
      // order of loading, kept by number where a server has no order of insertion.
      std::string("ALTER TABLE loads ADD COLUMN pending INTEGER NOT NULL DEFAULT 0;"
                  "ALTER TABLE load_images ADD COLUMN position INTEGER NOT NULL DEFAULT 0;"
                  "CREATE INDEX loads_station ON loads (station);") +
          (sqlite ? "UPDATE load_images SET position = rowid;" : ""),
      // 2 -> 3: why a load did not end confirmed, and what came of each of its images.
      "ALTER TABLE loads ADD COLUMN failure_kind TEXT;"
      "ALTER TABLE load_images ADD COLUMN result TEXT;",
      // 3 -> 4: the order a load was made for, who made it and the lot; the key that signed the
      // source and the signature's trusted comment.
      "ALTER TABLE loads ADD COLUMN work_order TEXT;"
      "ALTER TABLE loads ADD COLUMN operator TEXT;"
      "ALTER TABLE loads ADD COLUMN lot TEXT;"
      "ALTER TABLE loads ADD COLUMN signer_key TEXT;"
      "ALTER TABLE loads ADD COLUMN signer_comment TEXT;"
      "CREATE INDEX loads_work_order ON loads (work_order);",
      // 4 -> 5: a server keeps the times in its time type (the text was ISO 8601 UTC); a file
      // keeps the text, which sorts in time order.
      sqlite ? "SELECT 1;"
             : "ALTER TABLE loads ALTER COLUMN started_at TYPE timestamptz USING started_at::timestamptz,"
               " ALTER COLUMN finished_at TYPE timestamptz USING finished_at::timestamptz;",
      // 5 -> 6: each run's activity log, compressed, beside its row; on a server, where each run
      // stands while it goes on (the line's live view), one row a run.
      std::string("CREATE TABLE run_logs ("
                  " load_id TEXT PRIMARY KEY REFERENCES loads (id) ON DELETE CASCADE,") +
          (sqlite ? " packed BLOB NOT NULL," : " packed bytea NOT NULL,") +
          " text_bytes BIGINT NOT NULL, file_bytes BIGINT NOT NULL, cut INTEGER NOT NULL DEFAULT 0);" +
          (sqlite ? ""
                  : "CREATE TABLE live_runs ("
                    " id TEXT PRIMARY KEY, station TEXT, pid BIGINT, port TEXT, method TEXT, source TEXT,"
                    " receiver_id TEXT, receiver_model TEXT, work_order TEXT, stage TEXT, image TEXT,"
                    " image_index INTEGER, image_count INTEGER, percent INTEGER, seconds_left BIGINT,"
                    " outcome TEXT, failure_kind TEXT, reason TEXT, started_at timestamptz NOT NULL,"
                    " updated_at timestamptz NOT NULL, ended_at timestamptz);"
                    "CREATE INDEX live_runs_updated_at ON live_runs (updated_at);"),
  };
}

}  // namespace historyschema
