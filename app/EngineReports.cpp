#include "EngineReports.h"

#include "LoadRun.h"

void EngineReports::report(EngineEvent event) {
  const bool pageReport = changesThePage(event);
  post_([run = &run_, serial = serial_, pageReport, event = std::move(event)] {
    if (pageReport && !run->isCurrentRun(serial)) return;
    run->engineReport(serial, event);
  });
}
