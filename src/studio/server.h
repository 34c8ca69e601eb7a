// The HTTP side of rotorforge-studio: the page's files and the designs' JSON interface, on
// 127.0.0.1 only, each request carrying the access token (as a query parameter, a header or
// the cookie the page receives with its first load).
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "studio/store.h"

namespace httplib {
class Server;
}

namespace studio {

// The largest request body accepted (a design's form is a few hundred bytes).
inline constexpr std::size_t kMaxBody = 64 * 1024;
// The port used when none is given.
inline constexpr int kDefaultPort = 8350;
// The name of the access token's query parameter, cookie and (with "X-Rotorforge-") header.
inline constexpr const char* kTokenName = "token";

// A fresh random access token: 32 hexadecimal digits from the system's random source.
std::string new_token();

class Server {
 public:
  // `page_dir` holds the page's files (index.html, studio.js, studio.css); `three_dir` Debian's
  // three.js (build/three.min.js, examples/js/...), empty when it is not installed.
  Server(Store& store, std::string token, std::filesystem::path page_dir,
         std::filesystem::path three_dir);
  ~Server();
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  // Binds 127.0.0.1:`port` (0: any free port); false when the port cannot be had (in use).
  bool bind(int port);
  int port() const { return port_; }
  // Serves until stop().
  void listen();
  void stop();

 private:
  void routes();
  std::unique_ptr<httplib::Server> http_;
  Store& store_;
  std::string token_;
  std::filesystem::path page_dir_;
  std::filesystem::path three_dir_;
  int port_ = 0;
};

}  // namespace studio
