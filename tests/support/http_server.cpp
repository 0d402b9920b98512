// Host only: the Windows build of the support library leaves it out.
#if !defined(_WIN32)
#include "support/http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>

namespace {
const char* reasonOf(int status) {
  switch (status) {
    case 200: return "OK";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    default: return "Status";
  }
}

bool sendAll(int connection, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = send(connection, data, size, MSG_NOSIGNAL);
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}
}  // namespace

LocalHttpServer::LocalHttpServer(std::map<std::string, HttpReply> routes) : routes_(std::move(routes)) {
  socket_ = socket(AF_INET, SOCK_STREAM, 0);
  if (socket_ < 0) return;
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t size = sizeof address;
  if (bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(socket_, 16) != 0 ||
      getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    close(socket_);
    socket_ = -1;
    return;
  }
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { serve(); });
}

LocalHttpServer::~LocalHttpServer() {
  stopping_ = true;
  if (thread_.joinable()) thread_.join();
  if (socket_ >= 0) close(socket_);
}

std::string LocalHttpServer::url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

int LocalHttpServer::requests(const std::string& path) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = counts_.find(path);
  return found == counts_.end() ? 0 : found->second;
}

void LocalHttpServer::serve() {
  while (!stopping_) {
    pollfd waiting = {socket_, POLLIN, 0};
    if (poll(&waiting, 1, 100) <= 0) continue;
    const int connection = accept(socket_, nullptr, nullptr);
    if (connection < 0) continue;
    answer(connection);
    close(connection);
  }
}

void LocalHttpServer::answer(int connection) {
  // The request head; the body of a GET is empty. Bounded in size and in time.
  std::string head;
  char buffer[4096];
  while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536) {
    pollfd waiting = {connection, POLLIN, 0};
    if (poll(&waiting, 1, 5000) <= 0) return;
    const ssize_t n = recv(connection, buffer, sizeof buffer, 0);
    if (n <= 0) return;
    head.append(buffer, static_cast<size_t>(n));
  }
  const size_t start = head.find(' ');
  const size_t end = start == std::string::npos ? start : head.find(' ', start + 1);
  if (end == std::string::npos) return;
  const std::string path = head.substr(start + 1, end - start - 1);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ++counts_[path];
  }
  HttpReply reply;
  auto found = routes_.find(path);
  if (found != routes_.end()) {
    reply = found->second;
  } else {
    reply.status = 404;
    reply.body = "not found";
  }
  std::string response = "HTTP/1.1 " + std::to_string(reply.status) + " " + reasonOf(reply.status) + "\r\n";
  response += "Content-Type: application/octet-stream\r\nConnection: close\r\n";
  if (reply.sendLength) response += "Content-Length: " + std::to_string(reply.body.size()) + "\r\n";
  response += "\r\n";
  const std::string body = reply.body.substr(0, reply.cutAfter);
  if (reply.paceMs <= 0) {
    response += body;
    sendAll(connection, response.data(), response.size());
  } else {
    sendAll(connection, response.data(), response.size());
    constexpr size_t kPiece = 16384;
    for (size_t at = 0; at < body.size() && !stopping_; at += kPiece) {
      std::this_thread::sleep_for(std::chrono::milliseconds(reply.paceMs));
      if (!sendAll(connection, body.data() + at, std::min(kPiece, body.size() - at))) break;
    }
  }
  // A cut body ends with an orderly close after the bytes that were sent (a reset could
  // overtake the response head in the client's buffers and fail the request itself).
  if (reply.cutAfter != std::string::npos) std::this_thread::sleep_for(std::chrono::milliseconds(200));

}
#endif  // !_WIN32
