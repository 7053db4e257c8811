#include "host/host_options.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string_view>

#include "host/sim/stage_rig.h"
#include "rig/rig_store.h"

namespace tbhost {
namespace {

constexpr double kMinSeconds = 1.0;
constexpr double kMaxSeconds = 120.0;

struct OptionName {
  std::string_view name;
  bool takesValue;
};

constexpr OptionName kOwnOptions[] = {
    {"--demo", false},     {"--help", false},  {"-h", false},          {"--plugin", true},
    {"--png", true},       {"--report", true}, {"--screenshot", true}, {"--seconds", true},
    {"--follow", false},   {"--ola-in", true}, {"--ola-out", true},    {"--ola-port", true},
    {"--rig", true},       {"--method", true}, {"--compare", false},   {"--run", false},
    {"--master", true},    {"--fine", false},  {"--height", true},     {"--height-channel", true},
    {"--aim-noise", true}, {"--rate", true},
};

// What QGuiApplication and QApplication take from the command line, with one
// dash or two as Qt accepts them; xcb reads the X11 ones only on X11.
constexpr OptionName kQtOptions[] = {
    {"platform", true},
    {"platformpluginpath", true},
    {"platformtheme", true},
    {"plugin", true},
    {"qwindowgeometry", true},
    {"qwindowicon", true},
    {"qwindowtitle", true},
    {"session", true},
    {"style", true},
    {"stylesheet", true},
    {"display", true},
    {"geometry", true},
    {"title", true},
    {"icon", true},
    {"name", true},
    {"visual", true},
    {"reverse", false},
    {"widgetcount", false},
    {"nograb", false},
    {"dograb", false},
    {"testability", false},
};
// These also take their value after '=' in the same argument.
constexpr std::string_view kQtInlineValue[] = {"style", "stylesheet", "qmljsdebugger"};

const OptionName* Find(std::string_view arg, const OptionName* begin, const OptionName* end) {
  const OptionName* hit =
      std::find_if(begin, end, [arg](const OptionName& o) { return o.name == arg; });
  return hit == end ? nullptr : hit;
}

const OptionName* OwnOption(std::string_view arg) {
  return Find(arg, std::begin(kOwnOptions), std::end(kOwnOptions));
}

// How many arguments a Qt option takes after itself; empty if `arg` is none.
std::optional<int> QtOptionValues(std::string_view arg) {
  if (arg.size() < 2 || arg[0] != '-') return std::nullopt;
  std::string_view bare = arg.substr(arg[1] == '-' ? 2 : 1);
  if (const auto eq = bare.find('='); eq != std::string_view::npos) {
    const std::string_view key = bare.substr(0, eq);
    return std::find(std::begin(kQtInlineValue), std::end(kQtInlineValue), key) !=
                   std::end(kQtInlineValue)
               ? std::optional<int>(0)
               : std::nullopt;
  }
  if (const OptionName* o = Find(bare, std::begin(kQtOptions), std::end(kQtOptions)))
    return o->takesValue ? 1 : 0;
  return std::nullopt;
}

std::size_t EditDistance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

std::string Unknown(std::string_view arg) {
  if (arg.empty()) return "unexpected empty argument";
  if (arg[0] != '-' || arg == "-") return "unexpected argument " + std::string(arg);
  std::string text = "unknown option " + std::string(arg);
  const OptionName* nearest = nullptr;
  std::size_t best = 3;  // a typo or two, not a different word
  for (const OptionName& o : kOwnOptions) {
    const std::size_t d = EditDistance(arg, o.name);
    if (d < best && o.name.size() > 2) {
      best = d;
      nearest = &o;
    }
  }
  if (nearest != nullptr) text += " (did you mean " + std::string(nearest->name) + "?)";
  return text;
}

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

std::string SetUniverse(std::optional<std::uint32_t>& into, std::string_view name,
                        const std::string& text) {
  const auto n = ParseCount(text, UINT32_MAX);
  if (!n) return std::string(name) + " needs an OLA universe number from 0 to 4294967295";
  into = static_cast<std::uint32_t>(*n);
  return {};
}

std::string SetPort(std::uint16_t& into, const std::string& text) {
  const auto n = ParseCount(text, UINT16_MAX);
  if (!n || *n == 0) return "--ola-port needs a TCP port from 1 to 65535";
  into = static_cast<std::uint16_t>(*n);
  return {};
}

std::string SetSeconds(double& into, const std::string& text) {
  char* end = nullptr;
  const double s = std::strtod(text.c_str(), &end);
  if (text.empty() || end == nullptr || *end != '\0' || !std::isfinite(s) || s < kMinSeconds ||
      s > kMaxSeconds)
    return "--seconds needs a number from 1 to 120";
  into = s;
  return {};
}

// Metres with at most two decimals, as the height box takes them; kept in
// whole centimetres so that the box shows exactly what was asked for.
std::string SetHeight(std::optional<double>& into, const std::string& text) {
  const char* const wrong = "--height needs metres from 0.00 to 3.00, at most two decimals";
  const auto point = text.find('.');
  const std::string whole = text.substr(0, point);
  const std::string part = point == std::string::npos ? "" : text.substr(point + 1);
  if (whole.empty() && part.empty()) return wrong;
  if (part.size() > 2 || (point != std::string::npos && part.empty())) return wrong;
  const auto metres = whole.empty() ? std::optional<std::uint64_t>(0) : ParseCount(whole, 3);
  const auto hundredths = part.empty() ? std::optional<std::uint64_t>(0) : ParseCount(part, 99);
  if (!metres || !hundredths) return wrong;
  const std::uint64_t cm = *metres * 100 + (part.size() == 1 ? *hundredths * 10 : *hundredths);
  if (cm > 300) return wrong;
  into = static_cast<double>(cm) / 100.0;
  return {};
}

// Centimetres, at most one decimal: a hand's spread, not a typo's.
std::string SetAimNoise(std::optional<double>& into, const std::string& text) {
  const char* const wrong = "--aim-noise needs centimetres from 0 to 50, at most one decimal";
  const auto point = text.find('.');
  const std::string whole = text.substr(0, point);
  const std::string part = point == std::string::npos ? "" : text.substr(point + 1);
  if (whole.empty() || part.size() > 1 || (point != std::string::npos && part.empty()))
    return wrong;
  const auto cm = ParseCount(whole, 50);
  const auto tenths = part.empty() ? std::optional<std::uint64_t>(0) : ParseCount(part, 9);
  if (!cm || !tenths || (*cm == 50 && *tenths != 0)) return wrong;
  into = static_cast<double>(*cm * 10 + *tenths) / 10.0;
  return {};
}

std::string SetHeightChannel(std::optional<std::int32_t>& into, const std::string& text) {
  const auto n = ParseCount(text, 512);
  if (!n || *n == 0) return "--height-channel needs a DMX channel from 1 to 512";
  into = static_cast<std::int32_t>(*n);
  return {};
}

std::string SetRate(std::optional<std::int32_t>& into, const std::string& text) {
  const auto n = ParseCount(text, 40);
  if (!n || !tb::IsFollowRate(static_cast<std::int32_t>(*n)))
    return "--rate needs 10, 20, 25 or 40 (follow ticks a second)";
  into = static_cast<std::int32_t>(*n);
  return {};
}

// "a, b, c" of the names an option takes.
template <class Names>
std::string OneOf(const Names& names) {
  std::string list;
  for (std::string_view name : names) list += (list.empty() ? "" : ", ") + std::string(name);
  return list;
}

std::string SetRig(std::string& into, const std::string& text) {
  if (!RigByName(text)) return "--rig needs one of " + OneOf(kRigNames);
  into = text;
  return {};
}

std::string SetMethod(std::optional<FollowChoice>& into, const std::string& text) {
  into = MethodByName(text);
  if (into) return {};
  std::array<std::string_view, kAllMethods.size()> names;
  for (std::size_t i = 0; i < names.size(); ++i) names[i] = MethodName(kAllMethods[i]);
  return "--method needs one of " + OneOf(names);
}

std::string SetMaster(std::optional<MasterChoice>& into, const std::string& text) {
  const std::string wrong = "--master needs a device name or a device number from 1 to " +
                            std::to_string(tb::kDeviceCount);
  if (text.empty()) return wrong;
  if (text.find_first_not_of("0123456789") != std::string::npos) {
    into = MasterChoice{0, text};
    return {};
  }
  const auto n = ParseCount(text, tb::kDeviceCount);
  if (!n || *n == 0) return wrong;
  into = MasterChoice{static_cast<int>(*n), {}};
  return {};
}

// Applies one of the host's own options; the error text, or empty.
std::string Apply(HostOptions& o, std::string_view name, const std::string& value) {
  if (name == "--demo") o.demo = true;
  if (name == "--help" || name == "-h") o.help = true;
  if (name == "--follow") o.follow = true;
  if (name == "--compare") o.compare = true;
  if (name == "--run") o.run = true;
  if (name == "--fine") o.fine = true;
  if (name == "--master") return SetMaster(o.master, value);
  if (name == "--rig") {
    o.rigGiven = true;
    return SetRig(o.rig, value);
  }
  if (name == "--method") return SetMethod(o.method, value);
  if (name == "--plugin") o.plugin = value;
  if (name == "--png") o.png = value;
  if (name == "--report") o.report = value;
  if (name == "--screenshot") o.screenshot = value;
  if (name == "--seconds") {
    o.secondsGiven = true;
    return SetSeconds(o.seconds, value);
  }
  if (name == "--ola-in") return SetUniverse(o.olaIn, name, value);
  if (name == "--ola-out") return SetUniverse(o.olaOut, name, value);
  if (name == "--ola-port") return SetPort(o.olaPort, value);
  if (name == "--height") return SetHeight(o.height, value);
  if (name == "--height-channel") return SetHeightChannel(o.heightChannel, value);
  if (name == "--rate") return SetRate(o.rate, value);
  if (name == "--aim-noise") return SetAimNoise(o.aimNoiseCm, value);
  return {};
}

// The show box plays no demo and has no simulated heads; it needs to know
// its master and both universes before it touches the operator's rig.
std::string RunConflicts(const HostOptions& o) {
  if (!o.run) {
    if (o.heightChannel) return "--height-channel is the show box's and needs --run";
    return o.master ? "--master picks the master of --run and needs --run" : std::string();
  }
  if (o.demo) return "--demo and --run exclude each other";
  if (o.follow) return "--follow and --run exclude each other";
  if (o.compare) return "--compare plays the demo and cannot be used with --run";
  if (!o.screenshot.empty()) return "--screenshot plays the demo and cannot be used with --run";
  if (!o.report.empty()) return "--report is the demo's and cannot be used with --run";
  if (o.secondsGiven) return "--seconds is the demo's and cannot be used with --run";
  if (o.rate)
    return "--rate is the demo's and cannot be used with --run, which follows at the rate "
           "in TrailBeam.ini";
  if (o.aimNoiseCm)
    return "--aim-noise is the demo's calibration and cannot be used with --run, whose rig is "
           "calibrated already";
  if (o.rigGiven)
    return "--rig picks simulated heads and cannot be used with --run, which drives the rig "
           "in TrailBeam.ini";
  if (o.fine)
    return "--fine gives the simulated heads fine channels and cannot be used with --run, "
           "which takes each device's fine channels from TrailBeam.ini";
  if (o.height && o.heightChannel)
    return "--height and --height-channel exclude each other: the channel sets the height";
  if (!o.master) return "--run needs --master NAME or --master N";
  if (!o.olaIn || !o.olaOut) return "--run needs --ola-in U and --ola-out U";
  return {};
}

// Options that each make sense alone but contradict each other.
std::string Conflicts(const HostOptions& o) {
  if (std::string run = RunConflicts(o); !run.empty()) return run;
  if (o.follow && o.demo) return "--demo and --follow exclude each other";
  if (o.follow && !o.screenshot.empty())
    return "--screenshot plays the demo and cannot be used with --follow";
  if (o.follow && o.compare) return "--compare plays the demo and cannot be used with --follow";
  // Follow mode runs until the host quits and writes no report.
  if (o.follow && !o.report.empty())
    return "--report is the demo's and cannot be used with --follow";
  if (o.follow && o.secondsGiven) return "--seconds is the demo's and cannot be used with --follow";
  if (o.compare && o.method) return "--compare plays every method and cannot be used with --method";
  if (o.follow && o.height)
    return "--height is the demo's and --run's and cannot be used with --follow";
  if (o.compare && !o.screenshot.empty())
    return "--screenshot shows one session and cannot be used with --compare";
  // The host would hear its own output and take it back in as a change.
  if (o.olaIn && o.olaOut && *o.olaIn == *o.olaOut)
    return "--ola-in and --ola-out need different universes";
  return {};
}

}  // namespace

HostOptions ParseHostOptions(int& argc, char** argv) {
  HostOptions options;
  // Asking for help is never a mistake, wherever it stands.
  for (int i = 1; i < argc; ++i)
    if (std::string_view(argv[i]) == "--help" || std::string_view(argv[i]) == "-h")
      options.help = true;
  int kept = argc > 0 ? 1 : 0;
  for (int i = 1; i < argc && options.error.empty() && !options.help; ++i) {
    const std::string_view arg = argv[i];
    const bool hasNext = i + 1 < argc;
    if (const OptionName* own = OwnOption(arg)) {
      // A missing value must not swallow the next option.
      if (own->takesValue && (!hasNext || OwnOption(argv[i + 1]) != nullptr)) {
        options.error = std::string(arg) + " needs a value";
      } else {
        const std::string value = own->takesValue ? argv[++i] : "";
        options.error = Apply(options, own->name, value);
      }
    } else if (const std::optional<int> values = QtOptionValues(arg)) {
      if (*values > 0 && !hasNext) {
        options.error = std::string(arg) + " needs a value";
        continue;
      }
      argv[kept++] = argv[i];
      if (*values > 0) argv[kept++] = argv[++i];
    } else {
      options.error = Unknown(arg);
    }
  }
  if (options.error.empty()) options.error = Conflicts(options);
  if (argc > 0) {
    argc = kept;
    argv[argc] = nullptr;
  }
  return options;
}

HostMode ModeFor(const HostOptions& options, bool hasDisplay) {
  if (options.run) return HostMode::Run;
  if (options.follow) return HostMode::Follow;
  // A screenshot shows the demo session on the real screen; a method, a
  // comparison of them, a report, a height, an aim and a rate are things the
  // demo plays and writes. A picture alone is not: run-demo always asks for one.
  if (options.demo || !hasDisplay || !options.screenshot.empty() || options.compare ||
      options.method || !options.report.empty() || options.secondsGiven || options.height ||
      options.aimNoiseCm || options.rate)
    return HostMode::Demo;
  return HostMode::Interactive;
}

const char* HostUsage() {
  return "usage: trailbeam-host [--plugin PATH] [--rig NAME] [--fine] [--demo]\n"
         "                      [--method M | --compare]\n"
         "                      [--seconds N] [--height M] [--aim-noise CM] [--rate N]\n"
         "                      [--png FILE] [--report FILE] [--screenshot FILE]\n"
         "                      [--follow] [--ola-in U] [--ola-out U] [--ola-port P]\n"
         "                      [Qt options]\n"
         "       trailbeam-host --run --master NAME|N [--method M] --ola-in U --ola-out U\n"
         "                      [--height M | --height-channel N] [--ola-port P] [--plugin PATH]\n"
         "  --plugin PATH      the module to register and load (default: TrailBeam.so\n"
         "                     next to this program)\n"
         "  --rig NAME         the simulated heads: default, sides (booms and a back\n"
         "                     truss), mixed (a tower, a wide-angle head, the back),\n"
         "                     overhead (heads over the stage) or arena (twelve heads\n"
         "                     round a 16 x 10 m stage); the first is the default\n"
         "  --fine             every head has fine channels (16-bit pan and tilt),\n"
         "                     patched pan, pan fine, tilt, tilt fine from channel 1 on;\n"
         "                     the demo enters and calibrates them\n"
         "  --demo             play a headless operator session and print its report\n"
         "                     (also the default when there is no display)\n"
         "  --method M         demo, --follow and --run: the follow method the operator\n"
         "                     picks in the main window: linear (default), distance or\n"
         "                     trigonometric; implies --demo unless --follow or --run\n"
         "  --compare          demo: follow the same path once per method, print one\n"
         "                     table and draw one picture with a panel per method\n"
         "  --seconds N        demo: seconds of follow mode (1..120, default 6)\n"
         "  --height M         the follow height in metres (0.00..3.00). --run types it\n"
         "                     into the main window's height box, which takes it only\n"
         "                     with a K1-K3 length in the device setup. The demo: a\n"
         "                     performer of that height walks the path in the master's\n"
         "                     light; the operator enters the K1-K3 length, and every\n"
         "                     error is measured at that height; the trigonometric\n"
         "                     method is played on the floor and at that height\n"
         "  --aim-noise CM     demo and --follow: the operator hits each mark with a\n"
         "                     normal spread of CM centimetres (0..50) on each axis\n"
         "                     while calibrating; the spread is seeded, runs repeat\n"
         "  --rate N           demo and --follow: the follow rate (10, 20, 25 or 40 ticks\n"
         "                     a second, default 10), typed into the device setup;\n"
         "                     --run follows at the rate stored in TrailBeam.ini\n"
         "  --png FILE         demo: picture of the stage (default trailbeam-demo.png)\n"
         "  --report FILE      demo: the outcome as JSON, every tick included\n"
         "  --screenshot FILE  play the demo on the screen and save a picture of it\n"
         "                     halfway through follow mode\n"
         "  --follow           set up and calibrate the demo rig as the demo does, enable\n"
         "                     follow mode and keep running (headless or on screen)\n"
         "  --run              the show box: headless follow mode on the rig calibrated\n"
         "                     in the module's own TrailBeam.ini (beside the module,\n"
         "                     used in place), until SIGTERM or SIGINT; then Stop TB\n"
         "  --master NAME|N    --run: the master, by its name in the device setup or by\n"
         "                     its device number there (1..16)\n"
         "  --height-channel N --run: enter DMX channel N (1..512) as the height channel\n"
         "                     in the device setup; its OK stores it in TrailBeam.ini\n"
         "  --ola-in U         take channel values from OLA universe U (the console);\n"
         "                     the latest change wins over the host's faders\n"
         "  --ola-out U        send the host's universe to OLA universe U (the fixtures)\n"
         "  --ola-port P       olad's RPC port on 127.0.0.1 (default 9010)\n"
         "  -h, --help         this text\n"
         "Qt options go to Qt as they stand, written with one dash as Qt documents\n"
         "them (see QGuiApplication and QApplication): -platform NAME[:OPTIONS]\n"
         "(e.g. offscreen, xcb), -display DISPLAY, -geometry WxH+X+Y, -qwindowgeometry\n"
         "WxH+X+Y, -style NAME or -style=NAME, -stylesheet FILE, -reverse,\n"
         "-platformtheme, -platformpluginpath, -plugin, -qwindowtitle, -qwindowicon,\n"
         "-session, -widgetcount, -nograb, -dograb.\n"
         "Exit status: 0 done, 1 the run failed (--run: follow mode could not be switched\n"
         "on, or not off again), 2 the command line was not understood.\n";
}

}  // namespace tbhost
