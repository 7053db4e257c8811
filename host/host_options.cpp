#include "host/host_options.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace tbhost {
namespace {

constexpr double kMinSeconds = 1.0;
constexpr double kMaxSeconds = 120.0;

}  // namespace

HostOptions ParseHostOptions(int& argc, char** argv) {
  HostOptions options;
  int kept = argc > 0 ? 1 : 0;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    auto value = [&](std::string& into) {
      if (i + 1 >= argc) {
        options.error = std::string(arg) + " needs a value";
        return;
      }
      into = argv[++i];
    };
    if (std::strcmp(arg, "--demo") == 0) {
      options.demo = true;
    } else if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
      options.help = true;
    } else if (std::strcmp(arg, "--plugin") == 0) {
      value(options.plugin);
    } else if (std::strcmp(arg, "--png") == 0) {
      value(options.png);
    } else if (std::strcmp(arg, "--report") == 0) {
      value(options.report);
    } else if (std::strcmp(arg, "--screenshot") == 0) {
      value(options.screenshot);
    } else if (std::strcmp(arg, "--seconds") == 0) {
      std::string text;
      value(text);
      if (!options.error.empty()) continue;
      char* end = nullptr;
      const double s = std::strtod(text.c_str(), &end);
      if (text.empty() || end == nullptr || *end != '\0' || !std::isfinite(s) || s < kMinSeconds ||
          s > kMaxSeconds)
        options.error = "--seconds needs a number from 1 to 120";
      else
        options.seconds = s;
    } else {
      argv[kept++] = argv[i];
    }
  }
  if (argc > 0) {
    argc = kept;
    argv[argc] = nullptr;
  }
  return options;
}

const char* HostUsage() {
  return "usage: trailbeam-host [--plugin PATH] [--demo] [--seconds N] [--png FILE]\n"
         "                      [--report FILE] [--screenshot FILE] [Qt options]\n"
         "  --plugin PATH      the module to register and load (default: TrailBeam.so\n"
         "                     next to this program)\n"
         "  --demo             play a headless operator session and print its report\n"
         "                     (also the default when there is no display)\n"
         "  --seconds N        demo: seconds of follow mode (1..120, default 6)\n"
         "  --png FILE         demo: picture of the stage (default trailbeam-demo.png)\n"
         "  --report FILE      demo: the outcome as JSON, every tick included\n"
         "  --screenshot FILE  play the demo on the screen and save a picture of it\n"
         "                     halfway through follow mode\n";
}

}  // namespace tbhost
