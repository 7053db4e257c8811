// trailbeam-host: the reference host. With a display it opens the stage,
// the faders and the plug-in's main window; without one (or with --demo) it
// plays the headless operator session and prints its report.
#include <cstdio>
#include <string>
#include <vector>

#include "host/host_modes.h"
#include "host/host_options.h"
#include "host/host_startup.h"
#include "host/output_files.h"

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
  const std::vector<std::string> problems =
      tbhost::OutputProblems(tbhost::PlannedOutputs(options, mode));
  for (const std::string& problem : problems)
    std::fprintf(stderr, "trailbeam-host: %s\n", problem.c_str());
  if (!problems.empty()) return 1;
  return tbhost::RunHost(mode, options, argc, argv);
}
