// The studio's speed on the README's example design: the time from "Design" (the form's POST)
// to the first curve (the power chart served), against rotorforge and rotorforge-plot run
// alone on the same answers; the difference is the studio's own overhead (setting up the
// folder, starting the session, noticing its end). Prints medians of several runs.
//
//   build/studio_bench [RUNS]
#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "companion/process.h"
#include "studio/server.h"
#include "study/design_dir.h"
#include "support/console_session.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

const char* const kExample =
    R"({"Numb":3,"rhub":"0.15","rtip":"1.5","nbe":10,"pitchinitial":0,"aerofoil":"sg6043",)"
    R"("Umid":5,"blade_type":1,"material":1,"type":1,"Ucin":3,"Ucout":20,"h":10,"SeaL":0})";
const char* const kAnswers = "3\n0.15\n1.5\n10\n0\n2\n5\n1\n1\n1\n3\n20\n5\n10\n0\n6\n0\n";

double seconds_since(Clock::time_point t) {
  return std::chrono::duration<double>(Clock::now() - t).count();
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// rotorforge, then rotorforge-plot, in a fresh working directory: the console's way to the
// same first curve.
std::pair<double, double> console_run(const fs::path& root, int n) {
  const fs::path dir = root / ("console" + std::to_string(n));
  const process::Command c = support::console_session(dir, kAnswers);
  const auto start = Clock::now();
  process::run(c);
  const double session = seconds_since(start);
  process::Command p;
  p.argv = {ROTORFORGE_PLOT_BINARY};
  p.dir = dir;
  p.out = dir / "plot.txt";
  p.err = dir / "plot.txt";
  process::run(p);
  return {session, seconds_since(start)};
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
  support::ScratchDir root("studio-bench-");
  std::vector<double> session, console, studio, own;
  {
    studio::Store store(root / "designs", fs::path(ROTORFORGE_SOURCE_DIR) / "Data",
                        {ROTORFORGE_BINARY, ROTORFORGE_PLOT_BINARY, ROTORFORGE_LOADS_BINARY,
                         /* no analysis: it comes after the first curve */ {}},
                        1);
    studio::Server server(store, "0123456789abcdef0123456789abcdef",
                          fs::path(ROTORFORGE_SOURCE_DIR) / "studio", {});
    if (!server.bind(0)) return 1;
    std::thread serving([&] { server.listen(); });
    httplib::Client client("127.0.0.1", server.port());
    client.set_default_headers({{"X-Rotorforge-token", "0123456789abcdef0123456789abcdef"}});
    // The console's way and the studio's alternate, so that a machine busy with other work
    // slows both alike.
    for (int i = 0; i < runs; ++i) {
      // Which goes first alternates too.
      if (i % 2 == 0) {
        const auto [s, c] = console_run(root.path(), i);
        session.push_back(s);
        console.push_back(c);
      }
      const auto start = Clock::now();
      const auto r = client.Post("/api/designs", kExample, "application/json");
      if (!r || r->status != 201) return 1;
      const std::string id = nlohmann::json::parse(r->body)["id"];
      const std::string chart = "/api/designs/" + id + "/files/Result/plots/energy1-power.svg";
      // Polled as often as the page could; the page itself asks every 200 ms.
      for (;;) {
        const auto g = client.Get(chart.c_str());
        if (g && g->status == 200 && g->body.find("</svg>") != std::string::npos) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      }
      studio.push_back(seconds_since(start));
      // The session's own wall time, as the studio measured it around rotorforge: the rest of
      // the time to the first curve is the studio's and the picture writer's.
      for (int k = 0; k < 2000 && !fs::exists(root / "designs" / id / "status.txt"); ++k) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
      const auto o = study::read_status(root / "designs" / id);
      own.push_back(studio.back() - (o ? o->seconds : 0.0));
      // The loads run after the curve; the next run waits until they are done.
      for (;;) {
        const auto d = client.Get(("/api/designs/" + id).c_str());
        if (d && nlohmann::json::parse(d->body)["phase"] == "ok") break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
      if (i % 2 == 1) {
        const auto [s, c] = console_run(root.path(), i);
        session.push_back(s);
        console.push_back(c);
      }
    }
    server.stop();
    serving.join();
    store.stop();
  }
  const double s = median(session), c = median(console), w = median(studio);
  std::printf("README example, median of %d runs on %u processors\n", runs,
              std::thread::hardware_concurrency());
  std::printf("  rotorforge alone                      %8.3f s\n", s);
  std::printf("  rotorforge + rotorforge-plot          %8.3f s\n", c);
  std::printf("  studio: Design to first curve served  %8.3f s\n", w);
  std::printf("  difference to the two alone           %8.3f s (%+.1f %%)\n", w - c,
              100.0 * (w - c) / c);
  std::printf(
      "  studio's own part (first curve less the session's own wall time, picture "
      "writer included) %.3f s\n",
      median(own));
  return 0;
}
