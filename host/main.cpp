// trailbeam-host: the reference host. With a display it opens the stage,
// the faders and the plug-in's main window; without one (or with --demo) it
// plays the headless operator session and prints its report.
#include <cstdio>

#include "host/host_modes.h"
#include "host/host_options.h"
#include "host/host_startup.h"

int main(int argc, char** argv) {
  const tbhost::HostOptions options = tbhost::ParseHostOptions(argc, argv);
  if (options.help) {
    std::fputs(tbhost::HostUsage(), stdout);
    return 0;
  }
  if (!options.error.empty()) {
    std::fprintf(stderr, "trailbeam-host: %s\n%s", options.error.c_str(), tbhost::HostUsage());
    return 2;
  }
  const tbhost::HostMode mode = tbhost::ModeFor(options, tbhost::HasDisplay());
  return tbhost::RunHost(mode, options, argc, argv);
}
