#include "DialogEvents.h"

#include <QMetaObject>

#include "CVestrelDlg.h"
#include "ControlIds.h"

template <typename F>
void DialogEvents::post(F f) {
  // The dialog is the context: a report still queued when it is gone is dropped.
  QMetaObject::invokeMethod(dialog_, std::move(f), Qt::QueuedConnection);
}

void DialogEvents::appendStatus(const std::string& text) {
  post([d = dialog_, text] { d->statusReport(text); });
}

void DialogEvents::appendLog(const std::string& text) {
  post([d = dialog_, text] { d->logReport(text); });
}

void DialogEvents::setProgress(int percent) {
  post([d = dialog_, percent] { d->progressReport(percent); });
}

void DialogEvents::pulse() {
  post([d = dialog_] { d->pulseReport(); });
}

void DialogEvents::loadSucceeded() {
  post([d = dialog_, w = worker_] { d->workerCommand(w, ids::kFwLoaded); });
  appendLog("Success!");
}

void DialogEvents::loadAborted() {
  post([d = dialog_, w = worker_] { d->workerCommand(w, ids::kCancel); });
  appendLog("\r\nThe process aborted.");
}

void DialogEvents::showWarning(const std::string& text) {
  if (dialog_->warningShowing()) return;  // a second warning while one is open is dropped
  post([d = dialog_, text] { d->warningReport(text); });
}

void DialogEvents::transferProgress(uint64_t done, uint64_t total) {
  post([d = dialog_, done, total] { d->transferReport(done, total); });
}
