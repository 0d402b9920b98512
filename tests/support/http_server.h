// A small HTTP server on 127.0.0.1 for the runtime download tests: each path answers with a
// fixed reply, possibly without a Content-Length or cut off in the middle of the body. It runs
// on a thread of its own until destroyed. Host only.
#pragma once

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>

struct HttpReply {
  int status = 200;
  std::string body;
  bool sendLength = true;               // a Content-Length header with the body's size
  size_t cutAfter = std::string::npos;  // close the connection after this many body bytes
  int paceMs = 0;                       // the body goes in 16 KiB pieces this far apart (a slow link)
};

class LocalHttpServer {
 public:
  // Listens on a free port; unknown paths answer 404.
  explicit LocalHttpServer(std::map<std::string, HttpReply> routes);
  ~LocalHttpServer();
  LocalHttpServer(const LocalHttpServer&) = delete;
  LocalHttpServer& operator=(const LocalHttpServer&) = delete;

  bool listening() const { return socket_ >= 0; }
  // "http://127.0.0.1:<port><path>"
  std::string url(const std::string& path) const;
  // Requests received for `path` so far.
  int requests(const std::string& path) const;

 private:
  void serve();
  void answer(int connection);

  std::map<std::string, HttpReply> routes_;
  int socket_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  mutable std::mutex mutex_;
  std::map<std::string, int> counts_;
  std::thread thread_;
};
