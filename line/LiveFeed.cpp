#include "LiveFeed.h"

#include <libpq-fe.h>
#include <poll.h>

#include <algorithm>
#include <chrono>
#include <iostream>

#include "LiveWriter.h"

namespace {

struct Finish {
  void operator()(PGconn* connection) const { PQfinish(connection); }
};
using Connection = std::unique_ptr<PGconn, Finish>;

}  // namespace

bool LiveFeed::Subscription::next(Message& message, int waitMs) {
  std::unique_lock lock(mutex_);
  if (!arrived_.wait_for(lock, std::chrono::milliseconds(waitMs), [this] { return !queue_.empty(); })) return false;
  message = std::move(queue_.front());
  queue_.pop_front();
  return true;
}

void LiveFeed::Subscription::push(Message message) {
  std::lock_guard lock(mutex_);
  if (queue_.size() >= kMaxQueued) {
    queue_.clear();
    message = {"refresh", "{}"};
  }
  queue_.push_back(std::move(message));
  arrived_.notify_all();
}

LiveFeed::LiveFeed(std::string url, std::function<std::string(const std::string& id)> read)
    : url_(std::move(url)), read_(std::move(read)), thread_([this] { loop(); }) {}

LiveFeed::~LiveFeed() {
  quit_ = true;
  thread_.join();
}

std::shared_ptr<LiveFeed::Subscription> LiveFeed::subscribe() {
  auto subscription = std::make_shared<Subscription>();
  std::lock_guard lock(mutex_);
  subscriptions_.push_back(subscription);
  return subscription;
}

void LiveFeed::unsubscribe(const std::shared_ptr<Subscription>& subscription) {
  std::lock_guard lock(mutex_);
  std::erase(subscriptions_, subscription);
}

void LiveFeed::broadcast(const Subscription::Message& message) {
  std::lock_guard lock(mutex_);
  for (const auto& subscription : subscriptions_) subscription->push(message);
}

void LiveFeed::loop() {
  while (!quit_) {
    std::string error;
    if (!listen(error) && !quit_) std::cerr << "vestrel-line: the live view waits for the history server: " << error << std::endl;
    listening_ = false;
    for (int waited = 0; waited < kReconnectMs && !quit_; waited += kWaitSliceMs)
      std::this_thread::sleep_for(std::chrono::milliseconds(kWaitSliceMs));
  }
}

// Listens until the connection is lost (false, error set) or the feed ends (true).
bool LiveFeed::listen(std::string& error) {
  Connection connection(PQconnectdb(url_.c_str()));
  if (PQstatus(connection.get()) != CONNECTION_OK) {
    error = PQerrorMessage(connection.get());
    return false;
  }
  PGresult* result = PQexec(connection.get(), (std::string("LISTEN ") + LiveWriter::kChannel).c_str());
  const bool ok = PQresultStatus(result) == PGRES_COMMAND_OK;
  PQclear(result);
  if (!ok) {
    error = PQerrorMessage(connection.get());
    return false;
  }
  listening_ = true;
  broadcast({"refresh", "{}"});  // what changed while nobody listened
  while (!quit_) {
    pollfd fd{PQsocket(connection.get()), POLLIN, 0};
    if (poll(&fd, 1, kWaitSliceMs) < 0) continue;
    if (fd.revents == 0) continue;
    if (!PQconsumeInput(connection.get())) {
      error = PQerrorMessage(connection.get());
      return false;
    }
    while (PGnotify* notify = PQnotifies(connection.get())) {
      const std::string id = notify->extra ? notify->extra : "";
      PQfreemem(notify);
      if (const std::string row = read_(id); !row.empty()) broadcast({"run", row});
    }
  }
  return true;
}
