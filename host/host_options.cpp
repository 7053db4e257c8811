#include "host/host_options.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>

namespace tbhost {
namespace {

constexpr double kMinSeconds = 1.0;
constexpr double kMaxSeconds = 120.0;

// Digits only, no sign, no blanks, within `max`: an operator's typo must not
// quietly become another universe.
std::optional<std::uint64_t> ParseCount(const std::string& text, std::uint64_t max) {
  if (text.empty() || text.size() > 10) return std::nullopt;
  std::uint64_t n = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + static_cast<std::uint64_t>(c - '0');
  }
  if (n > max) return std::nullopt;
  return n;
}

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
    } else if (std::strcmp(arg, "--follow") == 0) {
      options.follow = true;
    } else if (std::strcmp(arg, "--ola-in") == 0 || std::strcmp(arg, "--ola-out") == 0) {
      std::string text;
      value(text);
      if (!options.error.empty()) continue;
      const auto n = ParseCount(text, UINT32_MAX);
      if (!n)
        options.error = std::string(arg) + " needs an OLA universe number from 0 to 4294967295";
      else
        (std::strcmp(arg, "--ola-in") == 0 ? options.olaIn : options.olaOut) =
            static_cast<std::uint32_t>(*n);
    } else if (std::strcmp(arg, "--ola-port") == 0) {
      std::string text;
      value(text);
      if (!options.error.empty()) continue;
      const auto n = ParseCount(text, UINT16_MAX);
      if (!n || *n == 0)
        options.error = "--ola-port needs a TCP port from 1 to 65535";
      else
        options.olaPort = static_cast<std::uint16_t>(*n);
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
  // The host would hear its own output and take it back in as a change.
  if (options.error.empty() && options.olaIn && options.olaOut && *options.olaIn == *options.olaOut)
    options.error = "--ola-in and --ola-out need different universes";
  if (argc > 0) {
    argc = kept;
    argv[argc] = nullptr;
  }
  return options;
}

HostMode ModeFor(const HostOptions& options, bool hasDisplay) {
  if (options.follow) return HostMode::Follow;
  // A screenshot shows the demo session on the real screen.
  if (options.demo || !hasDisplay || !options.screenshot.empty()) return HostMode::Demo;
  return HostMode::Interactive;
}

const char* HostUsage() {
  return "usage: trailbeam-host [--plugin PATH] [--demo] [--seconds N] [--png FILE]\n"
         "                      [--report FILE] [--screenshot FILE] [--follow]\n"
         "                      [--ola-in U] [--ola-out U] [--ola-port P] [Qt options]\n"
         "  --plugin PATH      the module to register and load (default: TrailBeam.so\n"
         "                     next to this program)\n"
         "  --demo             play a headless operator session and print its report\n"
         "                     (also the default when there is no display)\n"
         "  --seconds N        demo: seconds of follow mode (1..120, default 6)\n"
         "  --png FILE         demo: picture of the stage (default trailbeam-demo.png)\n"
         "  --report FILE      demo: the outcome as JSON, every tick included\n"
         "  --screenshot FILE  play the demo on the screen and save a picture of it\n"
         "                     halfway through follow mode\n"
         "  --follow           set up and calibrate the demo rig as the demo does, enable\n"
         "                     follow mode and keep running (headless or on screen)\n"
         "  --ola-in U         take channel values from OLA universe U (the console);\n"
         "                     the latest change wins over the host's faders\n"
         "  --ola-out U        send the host's universe to OLA universe U (the fixtures)\n"
         "  --ola-port P       olad's RPC port on 127.0.0.1 (default 9010)\n";
}

}  // namespace tbhost
