#include "studio/server.h"

#include <httplib.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <random>

#include "companion/whole_file.h"
#include "studio/form.h"

namespace studio {

namespace {

using nlohmann::json;

// The page's own files and the three.js files it loads, each under a fixed name: no part of a
// request's path is ever used as a file name.
struct Asset {
  const char* url;
  const char* file;
  const char* type;
  bool three;  // in three_dir, else page_dir
};
constexpr Asset kAssets[] = {
    {"/", "index.html", "text/html; charset=utf-8", false},
    {"/studio.js", "studio.js", "text/javascript; charset=utf-8", false},
    {"/studio.css", "studio.css", "text/css; charset=utf-8", false},
    {"/lib/three.min.js", "build/three.min.js", "text/javascript; charset=utf-8", true},
    {"/lib/OrbitControls.js", "examples/js/controls/OrbitControls.js",
     "text/javascript; charset=utf-8", true},
    {"/lib/STLLoader.js", "examples/js/loaders/STLLoader.js", "text/javascript; charset=utf-8",
     true},
};

const char* content_type(const std::string& name) {
  const auto dot = name.rfind('.');
  const std::string ext = dot == std::string::npos ? "" : name.substr(dot);
  if (ext == ".svg") return "image/svg+xml";
  if (ext == ".html") return "text/html; charset=utf-8";
  if (ext == ".csv") return "text/csv; charset=utf-8";
  if (ext == ".stl") return "model/stl";
  return "text/plain; charset=utf-8";
}

void send_json(httplib::Response& res, int status, const json& body) {
  res.status = status;
  res.set_content(body.dump(), "application/json");
}

void refuse(httplib::Response& res, int status, const std::string& message) {
  send_json(res, status, {{"error", message}});
}

// Compares without stopping at the first difference, so that the time taken tells nothing.
bool same_token(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  unsigned char diff = 0;
  for (std::size_t i = 0; i < a.size(); ++i) diff |= static_cast<unsigned char>(a[i] ^ b[i]);
  return diff == 0;
}

std::string cookie_token(const httplib::Request& req) {
  const std::string cookies = req.get_header_value("Cookie");
  const std::string key = std::string("rotorforge_") + kTokenName + "=";
  for (std::size_t at = 0; at < cookies.size();) {
    while (at < cookies.size() && (cookies[at] == ' ' || cookies[at] == ';')) ++at;
    const auto end = cookies.find(';', at);
    const std::string item = cookies.substr(at, end == std::string::npos ? end : end - at);
    if (item.rfind(key, 0) == 0) return item.substr(key.size());
    if (end == std::string::npos) break;
    at = end + 1;
  }
  return {};
}

}  // namespace

std::string new_token() {
  std::random_device random;  // the system's random source
  static constexpr char kHex[] = "0123456789abcdef";
  std::string t;
  for (int i = 0; i < 8; ++i) {
    std::uint32_t x = random();
    for (int k = 0; k < 4; ++k, x >>= 4) t += kHex[x & 15];
  }
  return t;
}

Server::Server(Store& store, std::string token, std::filesystem::path page_dir,
               std::filesystem::path three_dir)
    : http_(std::make_unique<httplib::Server>()),
      store_(store),
      token_(std::move(token)),
      page_dir_(std::move(page_dir)),
      three_dir_(std::move(three_dir)) {
  http_->set_payload_max_length(kMaxBody);
  // Not the library's default SO_REUSEPORT, with which a second studio would share the port of
  // the first and take half its requests: only a quick restart on a port left in TIME_WAIT.
  http_->set_socket_options([](socket_t sock) {
    int yes = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });
  routes();
}

Server::~Server() = default;

bool Server::bind(int port) {
  if (port == 0) {
    port_ = http_->bind_to_any_port("127.0.0.1");
    return port_ > 0;
  }
  port_ = port;
  return http_->bind_to_port("127.0.0.1", port);
}

void Server::listen() {
  http_->listen_after_bind();
}

void Server::stop() {
  http_->stop();
}

void Server::routes() {
  // Every request: to this host by its own address (a page of another site cannot reach the
  // studio through a name of its own), and with the token.
  http_->set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
    const std::string host = req.get_header_value("Host");
    const std::string port = ":" + std::to_string(port_);
    if (host != "127.0.0.1" + port && host != "localhost" + port) {
      refuse(res, 403, "unknown host");
      return httplib::Server::HandlerResponse::Handled;
    }
    std::string given = req.get_param_value(kTokenName);
    if (given.empty()) given = req.get_header_value(std::string("X-Rotorforge-") + kTokenName);
    if (given.empty()) given = cookie_token(req);
    if (!same_token(given, token_)) {
      refuse(res, 403, "no valid access token: open the address rotorforge-studio printed");
      return httplib::Server::HandlerResponse::Handled;
    }
    res.set_header("Set-Cookie", std::string("rotorforge_") + kTokenName + "=" + token_ +
                                     "; Path=/; HttpOnly; SameSite=Strict");
    res.set_header("Cache-Control", "no-store");
    return httplib::Server::HandlerResponse::Unhandled;
  });

  for (const Asset& a : kAssets) {
    http_->Get(a.url, [this, a](const httplib::Request&, httplib::Response& res) {
      const std::filesystem::path p = (a.three ? three_dir_ : page_dir_) / a.file;
      if ((a.three && three_dir_.empty()) || !std::filesystem::is_regular_file(p)) {
        refuse(res, 404, std::string(a.file) + " is not installed");
        return;
      }
      res.set_content(whole_file::read(p), a.type);
    });
  }

  http_->Get("/api/rules", [this](const httplib::Request&, httplib::Response& res) {
    json r = rules_json(store_.aerofoils());
    r["slots"] = store_.slots();
    r["three"] = !three_dir_.empty();
    send_json(res, 200, r);
  });

  http_->Get("/api/designs", [this](const httplib::Request&, httplib::Response& res) {
    send_json(res, 200, store_.list());
  });

  http_->Post("/api/designs", [this](const httplib::Request& req, httplib::Response& res) {
    json body;
    try {
      body = json::parse(req.body);
    } catch (const json::parse_error& e) {
      refuse(res, 400, std::string("the request is not JSON: ") + e.what());
      return;
    }
    const Form form = read_form(body, store_.aerofoils());
    if (!form.ok()) {
      json refusals = json::array();
      for (const Refusal& r : form.refusals) {
        refusals.push_back({{"field", r.field}, {"message", r.message}});
      }
      send_json(res, 422, {{"error", form.refusals.front().message}, {"refusals", refusals}});
      return;
    }
    try {
      const std::string id = store_.create(form.design, form.name, body);
      send_json(res, 201, {{"id", id}});
    } catch (const std::exception& e) {
      refuse(res, 503, e.what());
    }
  });

  http_->Get(R"(/api/designs/([^/]+))",
             [this](const httplib::Request& req, httplib::Response& res) {
               const auto d = store_.describe(req.matches[1]);
               if (!d) {
                 refuse(res, 404, "no such design");
                 return;
               }
               send_json(res, 200, *d);
             });

  http_->Get(R"(/api/designs/([^/]+)/files/(.+))", [this](const httplib::Request& req,
                                                          httplib::Response& res) {
    const std::string rel = req.matches[2];
    const auto p = store_.file(req.matches[1], rel);
    if (!p) {
      refuse(res, 404, "no such file of a design");
      return;
    }
    // Streamed in pieces: a fine blade's STL runs to hundreds of megabytes.
    std::error_code ec;
    const auto size = static_cast<std::size_t>(std::filesystem::file_size(*p, ec));
    if (ec) {
      refuse(res, 404, "no such file of a design");
      return;
    }
    auto in = std::make_shared<std::ifstream>(*p, std::ios::binary);
    res.set_content_provider(size, content_type(rel),
                             [in](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                               std::vector<char> piece(std::min<std::size_t>(length, 1 << 16));
                               in->seekg(static_cast<std::streamoff>(offset));
                               in->read(piece.data(), static_cast<std::streamsize>(piece.size()));
                               const auto got = static_cast<std::size_t>(in->gcount());
                               if (got == 0) return false;
                               sink.write(piece.data(), got);
                               return true;
                             });
    if (req.has_param("download")) {
      const auto slash = rel.rfind('/');
      res.set_header("Content-Disposition",
                     "attachment; filename=\"" + req.matches[1].str() + "-" +
                         rel.substr(slash == std::string::npos ? 0 : slash + 1) + "\"");
    }
  });
}

}  // namespace studio
