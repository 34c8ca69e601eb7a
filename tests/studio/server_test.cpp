// The studio's HTTP interface against the real programs: rotorforge, rotorforge-plot,
// rotorforge-loads and rotorforge-analyse run for every design.
#include "studio/server.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <chrono>
#include <thread>

#include "companion/process.h"
#include "studio/form.h"
#include "support/console_session.h"
#include "support/workdir.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

const char* const kExample =
    R"({"name":"example","Numb":3,"rhub":"0.15","rtip":"1.5","nbe":10,"pitchinitial":0,)"
    R"("aerofoil":"sg6043","Umid":5,"blade_type":1,"material":1,"type":1,"Ucin":3,"Ucout":20,)"
    R"("h":10,"SeaL":0})";
const char* const kExampleAnswers = "3\n0.15\n1.5\n10\n0\n2\n5\n1\n1\n1\n3\n20\n5\n10\n0\n6\n0\n";

// The programs beside a built studio.
studio::Programs built_programs() {
  return {ROTORFORGE_BINARY, ROTORFORGE_PLOT_BINARY, ROTORFORGE_LOADS_BINARY,
          ROTORFORGE_ANALYSE_BINARY};
}

// A studio over a fresh DIR, served from a thread of the test.
class Studio {
 public:
  explicit Studio(const fs::path& dir, unsigned slots = 2,
                  const fs::path& data = fs::path(ROTORFORGE_SOURCE_DIR) / "Data",
                  const studio::Programs& programs = built_programs())
      : store_(dir, data, programs, slots),
        server_(store_, "0123456789abcdef0123456789abcdef",
                fs::path(ROTORFORGE_SOURCE_DIR) / "studio", {}) {
    if (!server_.bind(0)) throw std::runtime_error("no port");
    thread_ = std::thread([this] { server_.listen(); });
  }
  ~Studio() {
    server_.stop();
    thread_.join();
    store_.stop();
  }
  int port() const { return server_.port(); }
  studio::Store& store() { return store_; }

  httplib::Client client() const {
    httplib::Client c("127.0.0.1", port());
    c.set_read_timeout(30, 0);
    c.set_default_headers({{"X-Rotorforge-token", token}});
    return c;
  }
  // The design `id` once it has ended (ok, failed or stopped).
  json finished(const std::string& id, double seconds = 120) {
    auto c = client();
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    for (;;) {
      const auto r = c.Get(("/api/designs/" + id).c_str());
      if (!r || r->status != 200) return json();
      json d = json::parse(r->body);
      const std::string phase = d["phase"];
      if (phase == "ok" || phase == "failed" || phase == "stopped") return d;
      if (std::chrono::steady_clock::now() > until) return d;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }

  static constexpr const char* token = "0123456789abcdef0123456789abcdef";

 private:
  studio::Store store_;
  studio::Server server_;
  std::thread thread_;
};

int status_of(const httplib::Result& r) {
  return r ? r->status : -1;
}

// The README's example run at a console in a working directory of its own, for comparison.
fs::path console_session(const fs::path& dir) {
  EXPECT_EQ(process::run(support::console_session(dir, kExampleAnswers)).exit_code(), 0);
  return dir;
}

// The access token: without it, with a wrong one, or to another host name, every path is
// refused; with it (as a parameter, a header or the cookie it sets) the page and the interface
// answer.
TEST(StudioServer, AccessToken) {
  support::ScratchDir dir("studio-token-");
  Studio s(dir / "designs");
  httplib::Client bare("127.0.0.1", s.port());
  for (const char* path :
       {"/", "/studio.js", "/api/rules", "/api/designs", "/api/designs/d000001", "/nowhere",
        "/?token=0123456789abcdef0123456789abcdee", "/?token=0123456789abcdef0123456789abcdef0"}) {
    SCOPED_TRACE(path);
    EXPECT_EQ(status_of(bare.Get(path)), 403);
  }
  EXPECT_EQ(status_of(bare.Post("/api/designs", kExample, "application/json")), 403);
  const std::string with = std::string("?token=") + Studio::token;
  const auto page = bare.Get(("/" + with).c_str());
  ASSERT_EQ(status_of(page), 200);
  EXPECT_NE(page->body.find("<html"), std::string::npos);
  const std::string cookie = page->get_header_value("Set-Cookie");
  EXPECT_NE(cookie.find("HttpOnly"), std::string::npos);
  const std::string pair = cookie.substr(0, cookie.find(';'));
  EXPECT_EQ(status_of(bare.Get("/api/rules", {{"Cookie", "other=1; " + pair}})), 200);
  EXPECT_EQ(status_of(bare.Get("/api/rules", {{"Cookie", "rotorforge_token=x"}})), 403);
  // A page of another site reaching the port through a name of its own.
  EXPECT_EQ(status_of(bare.Get(("/api/rules" + with).c_str(), {{"Host", "evil.example:80"}})), 403);
  auto c = s.client();
  for (const char* path : {"/", "/studio.js", "/studio.css", "/api/rules", "/api/designs"}) {
    SCOPED_TRACE(path);
    EXPECT_EQ(status_of(c.Get(path)), 200);
  }
  // Without three.js the library paths say so.
  EXPECT_EQ(status_of(c.Get("/lib/three.min.js")), 404);
}

// Requests the interface refuses, with the status and the message a user needs.
TEST(StudioServer, RefusedRequests) {
  support::ScratchDir dir("studio-refused-");
  Studio s(dir / "designs");
  auto c = s.client();
  struct Case {
    const char* body;
    int status;
    const char* error;  // the start of the error
  };
  const Case cases[] = {
      {"{\"Numb\": 3,", 400, "the request is not JSON"},
      {"[1, 2]", 422, "the form must be a JSON object"},
      {R"({"Numb":3,"rhub":"0.15","rtip":"1.5","nbe":10,"pitchinitial":0,"aerofoil":"sg6043",
          "Umid":5,"blade_type":1,"material":1,"type":1,"Ucin":0,"Ucout":20,"h":10,"SeaL":0})",
       422, "Ucin must be greater than 0; please enter it again."},
      {R"({"Numb":3,"rhub":"0,15","rtip":"1.5","nbe":10,"pitchinitial":0,"aerofoil":"sg6043",
          "Umid":5,"blade_type":1,"material":1,"type":1,"Ucin":3,"Ucout":20,"h":10,"SeaL":0})",
       422, "rhub: write the decimal point as a point, not a comma (0,15)"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.body);
    const auto r = c.Post("/api/designs", k.body, "application/json");
    ASSERT_EQ(status_of(r), k.status);
    EXPECT_EQ(json::parse(r->body)["error"].get<std::string>().rfind(k.error, 0), 0u) << r->body;
  }
  // A body beyond the limit is not read.
  const std::string huge = "{\"name\":\"" + std::string(studio::kMaxBody, 'x') + "\"}";
  EXPECT_EQ(status_of(c.Post("/api/designs", huge, "application/json")), 413);
  // Nothing was made.
  EXPECT_EQ(json::parse(c.Get("/api/designs")->body).size(), 0u);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir / "designs"), fs::directory_iterator()), 0);
}

// rotorforge itself asks again with the very line the studio refuses with.
TEST(StudioServer, RefusalIsTheConsolesLine) {
  support::ScratchDir dir("studio-console-");
  const fs::path session = dir / "session";
  process::run(support::console_session(session, "3\n0.15\n0.1\n"));
  json body = json::parse(kExample);
  body["rtip"] = "0.1";
  const std::string refused = studio::read_form(body, {"sg6043"}).refusals.at(0).message;
  EXPECT_EQ(refused, "rtip must be greater than rhub; please enter it again.");
  EXPECT_NE(support::slurp(session / "console.txt").find(refused), std::string::npos);
}

// Two designs at once, each in its own folder: the example made through the studio gives the
// same files as the console session with the same answers, byte for byte; the other is its own.
// A path outside a design's files is never served; a restarted studio lists both again.
TEST(StudioServer, TwoDesignsAtOnceAndTheirFiles) {
  support::ScratchDir dir("studio-two-");
  std::string first, second;
  {
    Studio s(dir / "designs", 2);
    auto c = s.client();
    const auto a = c.Post("/api/designs", kExample, "application/json");
    json other = json::parse(kExample);
    other["Numb"] = 2;
    other["name"] = "two blades";
    const auto b = c.Post("/api/designs", other.dump(), "application/json");
    ASSERT_EQ(status_of(a), 201);
    ASSERT_EQ(status_of(b), 201);
    first = json::parse(a->body)["id"];
    second = json::parse(b->body)["id"];
    EXPECT_NE(first, second);
    // Both run at once (two slots): both are past the queue before either ends.
    bool both_running = false;
    for (int i = 0; i < 400 && !both_running; ++i) {
      const json l = json::parse(c.Get("/api/designs")->body);
      both_running = l.size() == 2 && l[0]["phase"] == "session" && l[1]["phase"] == "session";
      if (!both_running) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_TRUE(both_running);
    const json da = s.finished(first);
    const json db = s.finished(second);
    ASSERT_EQ(da["phase"], "ok") << da.dump();
    ASSERT_EQ(db["phase"], "ok") << db.dump();
    EXPECT_EQ(da["annual_energy"], 3804.80);
    EXPECT_EQ(da["mass"], 0.286053);
    EXPECT_NE(db["annual_energy"], da["annual_energy"]);
    EXPECT_EQ(da["stations"].size(), 12u);
    EXPECT_EQ(da["energy"][0]["rows"].size(), 23u);
    EXPECT_GE(da["progress"]["passes"].size(), 2u);
    EXPECT_NE(da["loads"].get<std::string>().find("utilisation"), std::string::npos);
    // The session's blade analysed: the best CP and its tip speed ratio that rotorforge-analyse
    // states for the README's example (docs/analyse.md), the chart and the page served.
    const json& an = da["analysis"];
    ASSERT_EQ(an["state"], "ok") << da.dump();
    EXPECT_EQ(an["best_cp"], 0.4545);
    EXPECT_EQ(an["tsr"], 8.75);
    EXPECT_EQ(an["wind"], 8.0);
    EXPECT_EQ(db["analysis"]["state"], "ok");
    EXPECT_NE(db["analysis"]["best_cp"], an["best_cp"]);
    for (const std::string& rel : {an["chart"].get<std::string>(), an["page"].get<std::string>()}) {
      SCOPED_TRACE(rel);
      const auto r = c.Get(("/api/designs/" + first + "/files/" + rel).c_str());
      ASSERT_EQ(status_of(r), 200);
      EXPECT_NE(r->body.find(rel.ends_with(".svg") ? "<svg" : "<html"), std::string::npos);
    }
    EXPECT_EQ(an["chart"], "Result/analysis/blade/cp-tsr.svg");
    // The analysis of the blade gives the session's own energy table again, byte for byte.
    EXPECT_EQ(support::slurp(dir / "designs" / first / "Result/analysis/blade/energy1.out"),
              support::slurp(dir / "designs" / first / "Result/Energy1.out"));
    EXPECT_NE(support::slurp(dir / "designs" / first / "blade.toml").find("blades = 3"),
              std::string::npos);

    const fs::path console = console_session(dir / "console");
    for (const char* f :
         {"Result/Geometry.out", "Result/Energy1.out", "Result/Energy2.out", "Result/Energy3.out",
          "Result/Energy4.out", "Result/Performance.out", "Result/3dgeo.dat", "Result/blade.stl",
          "Temp/Parameters.in", "Temp/Parameterst.in"}) {
      SCOPED_TRACE(f);
      const std::string expected = support::slurp(console / f);
      EXPECT_FALSE(expected.empty() && std::string(f).find("Energy1") != std::string::npos);
      EXPECT_EQ(support::slurp(dir / "designs" / first / f), expected);
    }
    EXPECT_EQ(support::slurp(dir / "designs" / first / "answers.txt"), kExampleAnswers);
    // Every file listed is served, the STL among them, as it is on disk.
    const auto stl = c.Get(("/api/designs/" + first + "/files/Result/blade.stl").c_str());
    ASSERT_EQ(status_of(stl), 200);
    EXPECT_EQ(stl->body, support::slurp(console / "Result/blade.stl"));
    EXPECT_EQ(da["stl_bytes"], stl->body.size());
    const auto csv =
        c.Get(("/api/designs/" + first + "/files/Result/loads/rotor.csv?download=1").c_str());
    ASSERT_EQ(status_of(csv), 200);
    EXPECT_NE(csv->get_header_value("Content-Disposition").find(first + "-rotor.csv"),
              std::string::npos);

    // Paths that would leave a design's files, and ids the studio did not issue.
    support::spit(dir / "secret.txt", "secret");
    fs::create_symlink(dir / "secret.txt", dir / "designs" / first / "Result" / "link.csv");
    fs::create_directories(dir / "designs" / "d000099");
    for (const std::string& path :
         {"/api/designs/" + first + "/files/../../secret.txt",
          "/api/designs/" + first + "/files/%2e%2e/%2e%2e/secret.txt",
          "/api/designs/" + first + "/files/Result/link.csv",
          "/api/designs/" + first + "/files//etc/passwd",
          "/api/designs/" + first + "/files/Data/sg6043.dat",
          std::string("/api/designs/../secret.txt"), std::string("/api/designs/d000099"),
          std::string("/api/designs/d000099/files/answers.txt"),
          std::string("/api/designs/..%2fsecret.txt")}) {
      SCOPED_TRACE(path);
      const int st = status_of(c.Get(path.c_str()));
      EXPECT_TRUE(st == 404 || st == 400) << st;
    }
  }
  // Restarted over the same folder: both designs again, finished, with their figures.
  Studio again(dir / "designs", 1);
  const json l = json::parse(again.client().Get("/api/designs")->body);
  ASSERT_EQ(l.size(), 2u);
  EXPECT_EQ(l[0]["id"], first);
  EXPECT_EQ(l[0]["phase"], "ok");
  EXPECT_EQ(l[0]["name"], "example");
  EXPECT_EQ(l[1]["name"], "two blades");
  EXPECT_EQ(l[0]["annual_energy"], 3804.80);
}

// A design that fails says why in one line, and the others are untouched; stopping the studio
// ends a running session (nothing recorded) and leaves finished folders as they were.
TEST(StudioServer, FailureAndStop) {
  support::ScratchDir dir("studio-stop-");
  std::string done, slow;
  std::string done_geometry;
  fs::copy(fs::path(ROTORFORGE_SOURCE_DIR) / "Data", dir / "Data");
  support::spit(dir / "Data/junk.dat", "not an outline\n");
  support::spit(dir / "Data/Liftjunk.dat", "not a polar\n");
  // A folder of the studio's form of name that the studio did not make is never touched.
  fs::create_directories(dir / "designs" / "d000001");
  support::spit(dir / "designs" / "d000001" / "mine.txt", "mine");
  {
    Studio s(dir / "designs", 1, dir / "Data");
    auto c = s.client();
    done = json::parse(c.Post("/api/designs", kExample, "application/json")->body)["id"];
    EXPECT_EQ(done, "d000002");
    ASSERT_EQ(s.finished(done)["phase"], "ok");
    done_geometry = support::slurp(dir / "designs" / done / "Result/Geometry.out");
    // An imported aerofoil whose polar cannot be read: the design fails with the reader's own
    // line (as the session would end on it), recorded in its folder; the finished design is
    // untouched.
    json broken = json::parse(kExample);
    broken["aerofoil"] = "junk";
    const std::string bad =
        json::parse(c.Post("/api/designs", broken.dump(), "application/json")->body)["id"];
    const json failed = s.finished(bad);
    EXPECT_EQ(failed["phase"], "failed");
    const std::string why = failed["message"];
    EXPECT_EQ(why.find('\n'), std::string::npos);
    EXPECT_EQ(why, "Data/Liftjunk.dat, record 1: Bad real number in item 1 of list input");
    EXPECT_NE(support::slurp(dir / "designs" / bad / "status.txt").find("message " + why),
              std::string::npos);
    json big = json::parse(kExample);
    big["nbe"] = 10000;
    slow = json::parse(c.Post("/api/designs", big.dump(), "application/json")->body)["id"];
    for (int i = 0; i < 400; ++i) {
      if (json::parse(c.Get(("/api/designs/" + slow).c_str())->body)["phase"] == "session") break;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    s.store().stop();
    const json stopped = json::parse(c.Get(("/api/designs/" + slow).c_str())->body);
    EXPECT_EQ(stopped["phase"], "stopped");
    EXPECT_FALSE(fs::exists(dir / "designs" / slow / "status.txt"));
    // No new design once stopping.
    EXPECT_EQ(status_of(c.Post("/api/designs", kExample, "application/json")), 503);
  }
  EXPECT_EQ(support::slurp(dir / "designs" / done / "Result/Geometry.out"), done_geometry);
  EXPECT_EQ(support::slurp(dir / "designs" / "d000001" / "mine.txt"), "mine");
  Studio again(dir / "designs", 1, dir / "Data");
  const json l = json::parse(again.client().Get("/api/designs")->body);
  ASSERT_EQ(l.size(), 3u);
  EXPECT_EQ(l[1]["phase"], "failed");
  EXPECT_EQ(l[0]["phase"], "ok");
  EXPECT_EQ(l[2]["phase"], "stopped");
  EXPECT_NE(l[2]["message"].get<std::string>().find("stopped"), std::string::npos);
}

// An analysis that fails (here stand-ins that refuse the blade, or end without a word) leaves
// the design done, with one line saying why; a studio without rotorforge-analyse says nothing of
// an analysis.
TEST(StudioServer, AnalysisFailureIsOneLine) {
  support::ScratchDir dir("studio-analysis-");
  struct Case {
    const char* script;  // the stand-in for rotorforge-analyse; nullptr: none installed
    const char* message;
  };
  const Case cases[] = {
      {"echo 'wrote blade.toml (12 stations, 10 elements, section sg6043)'\n"
       "[ \"$1\" = --export ] && exit 0\n"
       "echo 'blade.toml:3: a chord of zero or less' >&2\nexit 2\n",
       "blade.toml:3: a chord of zero or less"},
      {"exit 3\n", "rotorforge-analyse ended with status 3 and said nothing"},
      {nullptr, ""},
  };
  int n = 0;
  for (const Case& k : cases) {
    SCOPED_TRACE(k.message);
    studio::Programs programs = built_programs();
    programs.analyse.clear();
    if (k.script != nullptr) {
      programs.analyse = dir / ("analyse" + std::to_string(n));
      support::spit(programs.analyse, std::string("#!/bin/sh\n") + k.script);
      fs::permissions(programs.analyse, fs::perms::owner_all);
    }
    Studio s(dir / ("designs" + std::to_string(n++)), 1, fs::path(ROTORFORGE_SOURCE_DIR) / "Data",
             programs);
    auto c = s.client();
    const std::string id =
        json::parse(c.Post("/api/designs", kExample, "application/json")->body)["id"];
    const json d = s.finished(id);
    ASSERT_EQ(d["phase"], "ok") << d.dump();
    EXPECT_EQ(d["annual_energy"], 3804.80);
    if (k.script == nullptr) {
      EXPECT_TRUE(d["analysis"].is_null()) << d.dump();
      continue;
    }
    EXPECT_EQ(d["analysis"]["state"], "failed");
    EXPECT_EQ(d["analysis"]["message"], k.message);
    EXPECT_FALSE(d["analysis"].contains("chart"));
  }
}

// The program itself: a port in use is said so; Ctrl-C ends the running session (nothing
// recorded for it) and the studio, which says so.
TEST(StudioProgram, PortInUseAndCtrlC) {
  support::ScratchDir dir("studio-program-");
  process::Command first;
  first.argv = {ROTORFORGE_STUDIO_BINARY, (dir / "designs").string(), "--port", "0"};
  first.out = dir / "first.txt";
  first.err = dir / "first-err.txt";
  first.own_group = true;
  process::Result started;
  process::Child studio = process::start(first, started);
  ASSERT_TRUE(started.ran());
  std::string address;
  for (int i = 0; i < 200 && address.empty(); ++i) {
    const std::string out = support::slurp(dir / "first.txt");
    const auto at = out.find("http://127.0.0.1:");
    if (at != std::string::npos && out.find('\n', at) != std::string::npos) {
      address = out.substr(at, out.find('\n', at) - at);
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  ASSERT_FALSE(address.empty());
  const int port = std::stoi(address.substr(17));
  const std::string token = address.substr(address.find("token=") + 6);
  EXPECT_EQ(token.size(), 32u);

  process::Command second;
  second.argv = {ROTORFORGE_STUDIO_BINARY, (dir / "other").string(), "--port",
                 std::to_string(port)};
  second.out = dir / "second.txt";
  second.err = dir / "second-err.txt";
  process::Watch quick;
  quick.time_limit = 20;
  EXPECT_EQ(process::run(second, quick).exit_code(), 1);
  EXPECT_EQ(support::slurp(dir / "second-err.txt"),
            "rotorforge-studio: port " + std::to_string(port) +
                " is in use (is a studio already running?); choose another with --port\n");

  httplib::Client c("127.0.0.1", port);
  c.set_default_headers({{"X-Rotorforge-token", token}});
  json big = json::parse(kExample);
  big["nbe"] = 10000;
  const auto r = c.Post("/api/designs", big.dump(), "application/json");
  ASSERT_EQ(status_of(r), 201);
  const std::string id = json::parse(r->body)["id"];
  for (int i = 0; i < 400; ++i) {
    if (json::parse(c.Get(("/api/designs/" + id).c_str())->body)["progress"]["bar"] > 0) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  studio.signal(SIGINT);
  process::Watch limit;
  limit.time_limit = 30;
  const process::Result ended = process::wait(studio, limit);
  EXPECT_FALSE(ended.timed_out);
  EXPECT_EQ(ended.exit_code(), 0);
  EXPECT_NE(support::slurp(dir / "first.txt").find("stopping"), std::string::npos);
  EXPECT_TRUE(fs::exists(dir / "designs" / id / "answers.txt"));
  EXPECT_FALSE(fs::exists(dir / "designs" / id / "status.txt"));
}

}  // namespace
