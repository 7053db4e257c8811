// The host's own command line, taken off argv before QApplication sees it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/session/method_choice.h"

namespace tbhost {

// A device as the operator names it: its number in the device setup (1..16)
// when the text is digits only, otherwise its name there.
struct MasterChoice {
  int number = 0;  // 1..16, or 0 when named
  std::string name;
};

struct HostOptions {
  bool demo = false;
  bool help = false;
  std::string plugin;                  // module file to register and load
  std::string png;                     // demo: picture of the stage with the traces
  std::string report;                  // demo: machine-readable outcome (JSON)
  std::string screenshot;              // the demo on screen, grabbed halfway through follow mode
  double seconds = 6.0;                // demo: how long the master moves in follow mode
  bool secondsGiven = false;           // --seconds was on the command line
  std::string rig = "default";         // one of kRigNames
  std::optional<FollowChoice> method;  // demo and follow mode; linear when not given
  bool compare = false;                // demo: one follow session per method
  bool fine = false;                   // every head with pan and tilt fine channels
  std::optional<double> height;        // demo and --run: the follow height in metres, 0..3
  std::optional<std::int32_t> rate;    // demo and --follow: follow ticks a second, 10/20/25/40
  std::optional<double> aimNoiseCm;    // demo and --follow: spread of the aim at the marks, cm
  std::string error;                   // set when the command line is unusable

  // Follow mode kept running, and the bridge to olad (real DMX).
  bool follow = false;                  // set up the demo rig, enable follow mode and keep running
  std::optional<std::uint32_t> olaIn;   // OLA universe to take channel values from
  std::optional<std::uint32_t> olaOut;  // OLA universe to send the host's universe to
  std::uint16_t olaPort = 9010;         // olad's RPC port on 127.0.0.1

  // The show box: the module's own TrailBeam.ini, follow mode until a signal.
  bool run = false;
  std::optional<MasterChoice> master;         // --run: the device that leads
  bool rigGiven = false;                      // --rig was on the command line
  std::optional<std::int32_t> heightChannel;  // --run: the channel that sets the height, 1..512
};

enum class HostMode {
  Demo,         // the headless operator session, once
  Follow,       // the demo's set-up, then follow mode until the host quits
  Interactive,  // the stage and the plug-in's windows for an operator
  Run,          // the show box: the operator's rig, follow mode until a signal
};

// Which mode the command line asks for on a machine with or without a display.
HostMode ModeFor(const HostOptions& options, bool hasDisplay);

// Recognised options are removed from argc/argv; everything else stays, in
// order, for QApplication. argv[0] is kept.
HostOptions ParseHostOptions(int& argc, char** argv);

const char* HostUsage();

}  // namespace tbhost
