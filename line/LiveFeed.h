#pragma once
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// The live view's feed: a connection of its own LISTENs on the live runs' channel; each run id a
// station NOTIFYs is read (read) and its row, as JSON, goes to every open page's subscription.
// A lost connection is made anew every kReconnectMs, and each page is then told to read the whole
// view again ("refresh"). Its thread starts with the feed and ends with it.
class LiveFeed {
 public:
  static constexpr int kReconnectMs = 2000;
  static constexpr int kWaitSliceMs = 250;         // how often the thread looks at whether to end
  static constexpr std::size_t kMaxQueued = 256;   // a page that reads nothing for so long is refreshed

  // One page's messages, in order: "run" with a row's JSON, or "refresh".
  class Subscription {
   public:
    struct Message {
      std::string event;
      std::string data;
    };
    // The next message, waiting up to waitMs; false when none came.
    bool next(Message& message, int waitMs);
    void push(Message message);

   private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<Message> queue_;
  };

  // url: the server's (read-only) URL; read: a run's row as JSON, "" when it cannot be read.
  LiveFeed(std::string url, std::function<std::string(const std::string& id)> read);
  ~LiveFeed();
  LiveFeed(const LiveFeed&) = delete;
  LiveFeed& operator=(const LiveFeed&) = delete;

  std::shared_ptr<Subscription> subscribe();
  void unsubscribe(const std::shared_ptr<Subscription>& subscription);
  // Whether the feed listens now.
  bool listening() const { return listening_; }

 private:
  void loop();
  bool listen(std::string& error);
  void broadcast(const Subscription::Message& message);
  std::string url_;
  std::function<std::string(const std::string&)> read_;
  std::mutex mutex_;
  std::vector<std::shared_ptr<Subscription>> subscriptions_;
  std::atomic<bool> quit_{false};
  std::atomic<bool> listening_{false};
  std::thread thread_;
};
