// rotorforge-studio: the whole design in a browser page. Serves the page on 127.0.0.1 with a
// random access token; each design is a rotorforge session in a folder of its own in DIR.
#include <CLI/CLI.hpp>
#include <iostream>
#include <thread>

#include "companion/install_paths.h"
#include "companion/process.h"
#include "studio/server.h"
#include "studio/store.h"
#include "util/parallel.h"
#include "util/version.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
  CLI::App app{
      "Serves the design page on this computer only (127.0.0.1): the form of every answer, "
      "the design's live progress, curves, blade in 3-D, loads and comparison of designs. "
      "Each design is a rotorforge session in a folder of its own in DIR.",
      "rotorforge-studio"};
  app.set_version_flag("--version", version::line("rotorforge-studio"));
  std::string dir = ".";
  int port = studio::kDefaultPort;
  unsigned jobs = 0;
  app.add_option("DIR", dir, "the folder of the designs (default .)");
  app.add_option("--port", port, "the port to serve on (default 8350; 0: any free port)")
      ->check(CLI::Range(0, 65535));
  app.add_option("--jobs", jobs,
                 "designs run at once (default: 2, or half the processors when more than 4)");
  CLI11_PARSE(app, argc, argv);

  const fs::path rotorforge = install_paths::beside_self("rotorforge");
  if (rotorforge.empty() || !fs::is_regular_file(rotorforge)) {
    std::cerr << "rotorforge-studio: rotorforge is not installed beside it\n";
    return 1;
  }
  const fs::path share = install_paths::share_dir();
  fs::path page = share / "studio";
  if (!fs::is_regular_file(page / "index.html")) {
    std::cerr << "rotorforge-studio: the page's files are not installed (" << page.string()
              << ")\n";
    return 1;
  }
  fs::path three = ROTORFORGE_THREE_DIR;
  if (!fs::is_regular_file(three / "build/three.min.js")) {
    std::cerr << "rotorforge-studio: three.js not found in " << three.string()
              << " (apt-get install libjs-three): the page shows the blade without 3-D\n";
    three.clear();
  }
  // Each session sizes its own pool of threads by the processors it is allowed (all of them), so
  // sessions running at once share the processors between their pools.
  if (jobs == 0) jobs = std::max(2u, parallel::allowed_processors() / 2);

  try {
    // The analysis of the blade runs only when rotorforge-analyse is installed beside it.
    fs::path analyse = install_paths::beside_self("rotorforge-analyse");
    if (std::error_code ec; !fs::is_regular_file(analyse, ec)) analyse.clear();
    studio::Programs programs{rotorforge, install_paths::beside_self("rotorforge-plot"),
                              install_paths::beside_self("rotorforge-loads"), analyse};
    const fs::path data = install_paths::default_data_dir(dir);
    studio::Store store(dir, data, programs, jobs);
    const std::string token = studio::new_token();
    studio::Server server(store, token, page, three);
    studio::Server* s = &server;
    if (!server.bind(port)) {
      std::cerr << "rotorforge-studio: port " << port
                << " is in use (is a studio already running?); choose another with --port\n";
      return 1;
    }
    process::stop_on_interrupt();
    std::thread watcher([s] {
      while (!process::stop_requested())
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
      s->stop();
    });
    std::cout << "rotorforge-studio: designs in " << store.dir().string() << ", " << store.slots()
              << " at a time" << std::endl;
    std::cout << "open http://127.0.0.1:" << server.port() << "/?token=" << token << std::endl;
    server.listen();
    process::request_stop();
    watcher.join();
    std::cout << "rotorforge-studio: stopping; running designs end, finished ones stay"
              << std::endl;
    store.stop();
  } catch (const std::exception& e) {
    std::cerr << "rotorforge-studio: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
