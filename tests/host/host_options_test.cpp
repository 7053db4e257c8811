// The host's command line: its own options, Qt's options passed through
// untouched, everything else refused with the argument named.
#include "host/host_options.h"

#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "host/output_files.h"

namespace tbhost {
namespace {

using Args = std::vector<std::string>;

struct Parsed {
  HostOptions options;
  Args forQt;  // what QApplication gets after argv[0]
};

Parsed Parse(Args args) {
  args.insert(args.begin(), "trailbeam-host");
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  int argc = static_cast<int>(args.size());
  Parsed parsed{ParseHostOptions(argc, argv.data()), {}};
  EXPECT_EQ(argv[static_cast<std::size_t>(argc)], nullptr);
  for (int i = 1; i < argc; ++i) parsed.forQt.emplace_back(argv[static_cast<std::size_t>(i)]);
  return parsed;
}

std::string Line(const Args& args) {
  std::string line;
  for (const std::string& a : args) line += "[" + a + "] ";
  return line;
}

TEST(HostOptions, KeepsQtOptionsWithTheirValuesForQt) {
  struct Case {
    Args args;
    Args forQt;
  };
  const Case cases[] = {
      {{}, {}},
      {{"--demo", "-platform", "offscreen", "--png", "out.png", "--seconds", "2.5"},
       {"-platform", "offscreen"}},
      {{"-style", "fusion", "-reverse", "--follow"}, {"-style", "fusion", "-reverse"}},
      {{"-style=fusion", "--style", "windows", "--reverse"},
       {"-style=fusion", "--style", "windows", "--reverse"}},
      {{"-display", ":1", "-geometry", "640x480+0+0", "-qwindowgeometry", "800x600"},
       {"-display", ":1", "-geometry", "640x480+0+0", "-qwindowgeometry", "800x600"}},
      // A Qt option's value is never read as one of ours, nor as a stray word.
      {{"-qwindowtitle", "--demo", "-platformtheme", "gtk3"},
       {"-qwindowtitle", "--demo", "-platformtheme", "gtk3"}},
      {{"-stylesheet", "look.qss", "-stylesheet=look.qss", "-widgetcount", "-nograb"},
       {"-stylesheet", "look.qss", "-stylesheet=look.qss", "-widgetcount", "-nograb"}},
      {{"-session", "s1", "-qwindowicon", "i.png", "-platformpluginpath", "/p", "-dograb"},
       {"-session", "s1", "-qwindowicon", "i.png", "-platformpluginpath", "/p", "-dograb"}},
      // One dash: Qt's plug-in option; two: the module this host loads.
      {{"-plugin", "evdevtouch", "--plugin", "x.so"}, {"-plugin", "evdevtouch"}},
  };
  for (const Case& c : cases) {
    const Parsed p = Parse(c.args);
    EXPECT_EQ(p.options.error, "") << Line(c.args);
    EXPECT_EQ(p.forQt, c.forQt) << Line(c.args);
  }
  const Parsed p = Parse(cases[1].args);
  EXPECT_EQ(p.options.rig, "default");
  EXPECT_FALSE(p.options.method.has_value());
  EXPECT_FALSE(p.options.compare);
  EXPECT_TRUE(p.options.demo);
  EXPECT_EQ(p.options.png, "out.png");
  EXPECT_DOUBLE_EQ(p.options.seconds, 2.5);
  EXPECT_EQ(Parse(cases[8].args).options.plugin, "x.so");
}

TEST(HostOptions, RigMethodAndCompareTakeTheirValues) {
  struct Case {
    Args args;
    std::string rig;
    std::optional<FollowChoice> method;
    bool compare;
    bool fine = false;
  };
  const Case cases[] = {
      {{"--rig", "sides"}, "sides", std::nullopt, false},
      {{"--rig", "mixed", "--rig", "overhead"}, "overhead", std::nullopt, false},
      {{"--rig", "default", "--method", "linear"}, "default", FollowChoice::Linear, false},
      {{"--method", "distance"}, "default", FollowChoice::Distance, false},
      {{"--follow", "--method", "trigonometric", "--rig", "sides"},
       "sides",
       FollowChoice::Trigonometric,
       false},
      {{"--demo", "--rig", "overhead", "--compare", "--seconds", "2"},
       "overhead",
       std::nullopt,
       true},
      {{"--demo", "--fine", "--compare"}, "default", std::nullopt, true, true},
      {{"--follow", "--rig", "sides", "--fine"}, "sides", std::nullopt, false, true},
      {{"--demo", "--rig", "arena", "--compare"}, "arena", std::nullopt, true},
  };
  for (const Case& c : cases) {
    const Parsed p = Parse(c.args);
    ASSERT_EQ(p.options.error, "") << Line(c.args);
    EXPECT_EQ(p.options.rig, c.rig) << Line(c.args);
    EXPECT_EQ(p.options.method, c.method) << Line(c.args);
    EXPECT_EQ(p.options.compare, c.compare) << Line(c.args);
    EXPECT_EQ(p.options.fine, c.fine) << Line(c.args);
    EXPECT_TRUE(p.forQt.empty()) << Line(c.args);
  }
}

TEST(HostOptions, RunTakesItsMasterByNameOrNumber) {
  const Args ola = {"--ola-in", "1", "--ola-out", "2"};
  struct Case {
    Args args;
    int number;
    std::string name;
  };
  const Case cases[] = {
      {{"--run", "--master", "Spot links"}, 0, "Spot links"},
      {{"--master", "3", "--run"}, 3, ""},
      {{"--run", "--master", "04"}, 4, ""},
      // Devices beyond the four of the described lines lead too.
      {{"--run", "--master", "5"}, 5, ""},
      {{"--run", "--master", "12"}, 12, ""},
      {{"--run", "--master", "16"}, 16, ""},
      // Not digits only: a name, blanks and signs included, as the setup lists it.
      {{"--run", "--master", " 2"}, 0, " 2"},
      {{"--run", "--master", "-1"}, 0, "-1"},
      {{"--run", "--master", "Gerät 2"}, 0, "Gerät 2"},
      {{"--run", "--master", "1", "--master", "Wash"}, 0, "Wash"},
      // What run-demo adds; the box draws nothing.
      {{"--png", "p.png", "--run", "--master", "1", "--method", "distance", "--ola-port", "9011",
        "--plugin", "/opt/tb/TrailBeam.so"},
       1,
       ""},
  };
  for (const Case& c : cases) {
    Args args = c.args;
    args.insert(args.end(), ola.begin(), ola.end());
    const Parsed p = Parse(args);
    ASSERT_EQ(p.options.error, "") << Line(args);
    EXPECT_TRUE(p.options.run) << Line(args);
    ASSERT_TRUE(p.options.master.has_value()) << Line(args);
    EXPECT_EQ(p.options.master->number, c.number) << Line(args);
    EXPECT_EQ(p.options.master->name, c.name) << Line(args);
    EXPECT_TRUE(p.forQt.empty()) << Line(args);
    for (bool display : {true, false})
      EXPECT_EQ(ModeFor(p.options, display), HostMode::Run) << Line(args) << display;
    EXPECT_TRUE(PlannedOutputs(p.options, HostMode::Run).empty()) << Line(args);
  }
  const Parsed last = Parse({"--run", "--master", "1", "--method", "distance", "--ola-in", "7",
                             "--ola-out", "8", "--ola-port", "9011"});
  EXPECT_EQ(last.options.method, FollowChoice::Distance);
  EXPECT_EQ(last.options.olaIn, 7u);
  EXPECT_EQ(last.options.olaOut, 8u);
  EXPECT_EQ(last.options.olaPort, 9011);
}

TEST(HostOptions, RunRefusesWhatItCannotDo) {
  const std::string master = "--master needs a device name or a device number from 1 to 16";
  struct Case {
    Args args;
    std::string error;
  };
  const Case cases[] = {
      {{"--run"}, "--run needs --master NAME or --master N"},
      {{"--run", "--ola-in", "1", "--ola-out", "2"}, "--run needs --master NAME or --master N"},
      {{"--run", "--master", "1"}, "--run needs --ola-in U and --ola-out U"},
      {{"--run", "--master", "1", "--ola-in", "1"}, "--run needs --ola-in U and --ola-out U"},
      {{"--run", "--master", "1", "--ola-out", "2"}, "--run needs --ola-in U and --ola-out U"},
      {{"--run", "--master", "1", "--ola-in", "2", "--ola-out", "2"},
       "--ola-in and --ola-out need different universes"},
      {{"--master", "1", "--ola-in", "1", "--ola-out", "2"},
       "--master picks the master of --run and needs --run"},
      {{"--follow", "--master", "1"}, "--master picks the master of --run and needs --run"},
      {{"--run", "--master"}, "--master needs a value"},
      {{"--run", "--master", "--ola-in", "1"}, "--master needs a value"},
      {{"--run", "--master", ""}, master},
      {{"--run", "--master", "0"}, master},
      {{"--run", "--master", "17"}, master},
      {{"--run", "--master", "160"}, master},
      {{"--run", "--master", "99999999999999999999"}, master},
      {{"--run", "--mastre", "1"}, "unknown option --mastre (did you mean --master?)"},
      {{"--runn"}, "unknown option --runn (did you mean --run?)"},
      {{"--run", "--demo"}, "--demo and --run exclude each other"},
      {{"--follow", "--run"}, "--follow and --run exclude each other"},
      {{"--run", "--compare"}, "--compare plays the demo and cannot be used with --run"},
      {{"--run", "--screenshot", "s.png"},
       "--screenshot plays the demo and cannot be used with --run"},
      {{"--run", "--report", "r.json"}, "--report is the demo's and cannot be used with --run"},
      {{"--run", "--seconds", "3"}, "--seconds is the demo's and cannot be used with --run"},
      {{"--run", "--rig", "default", "--master", "1", "--ola-in", "1", "--ola-out", "2"},
       "--rig picks simulated heads and cannot be used with --run, which drives the rig in "
       "TrailBeam.ini"},
      {{"--run", "--fine", "--master", "1", "--ola-in", "1", "--ola-out", "2"},
       "--fine gives the simulated heads fine channels and cannot be used with --run, which "
       "takes each device's fine channels from TrailBeam.ini"},
  };
  for (const Case& c : cases) {
    const Parsed p = Parse(c.args);
    EXPECT_EQ(p.options.error, c.error) << Line(c.args);
  }
}

// The follow height for the demo and the show box, the height channel for
// the show box only; a value the windows would refuse is refused here.
TEST(HostOptions, RateTakesTheOfferedRatesForTheDemoAndFollowOnly) {
  const std::string wrong = "--rate needs 10, 20, 25 or 40 (follow ticks a second)";
  struct Case {
    Args args;
    std::optional<std::int32_t> rate;
    std::string error;
  };
  const Case cases[] = {
      {{}, std::nullopt, ""},
      {{"--rate", "10"}, 10, ""},
      {{"--rate", "20"}, 20, ""},
      {{"--rate", "25"}, 25, ""},
      {{"--rate", "40", "--compare"}, 40, ""},
      {{"--follow", "--rate", "40"}, 40, ""},
      {{"--rate", "30"}, std::nullopt, wrong},
      {{"--rate", "0"}, std::nullopt, wrong},
      {{"--rate", "-10"}, std::nullopt, wrong},
      {{"--rate", "25.0"}, std::nullopt, wrong},
      {{"--rate", "100"}, std::nullopt, wrong},
      {{"--rate", "4294967321"}, std::nullopt, wrong},
      {{"--rate", "99999999999999999999"}, std::nullopt, wrong},
      {{"--rate", ""}, std::nullopt, wrong},
      {{"--rate"}, std::nullopt, "--rate needs a value"},
      {{"--rate", "--demo"}, std::nullopt, "--rate needs a value"},
      {{"--run", "--master", "1", "--ola-in", "1", "--ola-out", "2", "--rate", "20"},
       std::nullopt,
       "--rate is the demo's and cannot be used with --run, which follows at the rate in "
       "TrailBeam.ini"},
  };
  for (const Case& c : cases) {
    const Parsed p = Parse(c.args);
    EXPECT_EQ(p.options.error, c.error) << Line(c.args);
    if (!c.error.empty()) continue;
    EXPECT_EQ(p.options.rate, c.rate) << Line(c.args);
    EXPECT_TRUE(p.forQt.empty()) << Line(c.args);
  }
  // A rate alone asks for the demo; with --follow it is follow mode's.
  EXPECT_EQ(ModeFor(Parse({"--rate", "20"}).options, true), HostMode::Demo);
  EXPECT_EQ(ModeFor(Parse({"--follow", "--rate", "20"}).options, true), HostMode::Follow);
}

TEST(HostOptions, HeightAndHeightChannelTakeWhatTheWindowsTake) {
  const Args run = {"--run", "--master", "1", "--ola-in", "1", "--ola-out", "2"};
  const auto with = [](Args args, const Args& more) {
    args.insert(args.end(), more.begin(), more.end());
    return args;
  };
  const std::string height = "--height needs metres from 0.00 to 3.00, at most two decimals";
  const std::string channel = "--height-channel needs a DMX channel from 1 to 512";
  struct Case {
    Args args;
    std::optional<double> height;
    std::optional<std::int32_t> channel;
    std::string error;
  };
  const Case cases[] = {
      {{"--height", "1.5"}, 1.5, std::nullopt, ""},
      {{"--height", "0"}, 0.0, std::nullopt, ""},
      {{"--height", "3.00"}, 3.0, std::nullopt, ""},
      {{"--height", ".25"}, 0.25, std::nullopt, ""},
      // The channel overrides the box, so the two would contradict each other.
      {with(run, {"--height", "1.25", "--height-channel", "17"}), 1.25, 17,
       "--height and --height-channel exclude each other: the channel sets the height"},
      {with(run, {"--height-channel", "512"}), std::nullopt, 512, ""},
      {{"--height", "3.01"}, std::nullopt, std::nullopt, height},
      {{"--height", "-1"}, std::nullopt, std::nullopt, height},
      {{"--height", "1,5"}, std::nullopt, std::nullopt, height},
      {{"--height", "1.505"}, std::nullopt, std::nullopt, height},
      {{"--height", "1."}, std::nullopt, std::nullopt, height},
      {{"--height", "."}, std::nullopt, std::nullopt, height},
      {{"--height", ""}, std::nullopt, std::nullopt, height},
      {{"--height", "1e0"}, std::nullopt, std::nullopt, height},
      {{"--height", "nan"}, std::nullopt, std::nullopt, height},
      {{"--height", "99999999999999999999"}, std::nullopt, std::nullopt, height},
      {{"--height"}, std::nullopt, std::nullopt, "--height needs a value"},
      {with(run, {"--height-channel", "0"}), std::nullopt, std::nullopt, channel},
      {with(run, {"--height-channel", "513"}), std::nullopt, std::nullopt, channel},
      {with(run, {"--height-channel", "-5"}), std::nullopt, std::nullopt, channel},
      {with(run, {"--height-channel", "4294967313"}), std::nullopt, std::nullopt, channel},
      {{"--height-channel", "5"},
       std::nullopt,
       5,
       "--height-channel is the show box's and needs --run"},
      {{"--follow", "--height", "1"},
       1.0,
       std::nullopt,
       "--height is the demo's and --run's and cannot be used with --follow"},
      {{"--heigth", "1"},
       std::nullopt,
       std::nullopt,
       "unknown option --heigth (did you mean --height?)"},
  };
  for (const Case& c : cases) {
    const Parsed p = Parse(c.args);
    EXPECT_EQ(p.options.error, c.error) << Line(c.args);
    if (!c.error.empty()) continue;
    EXPECT_EQ(p.options.height, c.height) << Line(c.args);
    EXPECT_EQ(p.options.heightChannel, c.channel) << Line(c.args);
    EXPECT_TRUE(p.forQt.empty()) << Line(c.args);
  }
  // A height alone asks for the demo, as a method does.
  EXPECT_EQ(ModeFor(Parse({"--height", "1.5"}).options, true), HostMode::Demo);
}

// The operator's spread at the marks: the demo's and --follow's, whole
// centimetres or tenths, never the show box's, whose rig is calibrated.
TEST(HostOptions, AimNoiseTakesCentimetresForTheDemo) {
  const std::string wrong = "--aim-noise needs centimetres from 0 to 50, at most one decimal";
  struct Case {
    Args args;
    std::optional<double> cm;
    std::string error;
  };
  const Case cases[] = {
      {{"--aim-noise", "2"}, 2.0, ""},
      {{"--aim-noise", "0"}, 0.0, ""},
      {{"--aim-noise", "0.5"}, 0.5, ""},
      {{"--aim-noise", "50"}, 50.0, ""},
      {{"--follow", "--aim-noise", "2"}, 2.0, ""},
      {{"--compare", "--height", "1.5", "--fine", "--aim-noise", "2"}, 2.0, ""},
      {{"--aim-noise", "50.1"}, std::nullopt, wrong},
      {{"--aim-noise", "51"}, std::nullopt, wrong},
      {{"--aim-noise", "-2"}, std::nullopt, wrong},
      {{"--aim-noise", "2.25"}, std::nullopt, wrong},
      {{"--aim-noise", "2."}, std::nullopt, wrong},
      {{"--aim-noise", ".5"}, std::nullopt, wrong},
      {{"--aim-noise", "2cm"}, std::nullopt, wrong},
      {{"--aim-noise", "nan"}, std::nullopt, wrong},
      {{"--aim-noise", "99999999999999999999"}, std::nullopt, wrong},
      {{"--aim-noise"}, std::nullopt, "--aim-noise needs a value"},
      {{"--run", "--master", "1", "--ola-in", "1", "--ola-out", "2", "--aim-noise", "2"},
       std::nullopt,
       "--aim-noise is the demo's calibration and cannot be used with --run, whose rig is "
       "calibrated already"},
  };
  for (const Case& c : cases) {
    const Parsed p = Parse(c.args);
    EXPECT_EQ(p.options.error, c.error) << Line(c.args);
    if (!c.error.empty()) continue;
    EXPECT_EQ(p.options.aimNoiseCm, c.cm) << Line(c.args);
  }
  // An aim, like a height, is something the demo plays.
  EXPECT_EQ(ModeFor(Parse({"--aim-noise", "2"}).options, true), HostMode::Demo);
  EXPECT_EQ(ModeFor(Parse({"--follow", "--aim-noise", "2"}).options, true), HostMode::Follow);
}

TEST(HostOptions, RefusesWhatItDoesNotKnowNamingTheArgument) {
  struct Case {
    Args args;
    std::string error;
  };
  const Case cases[] = {
      {{"--folow"}, "unknown option --folow (did you mean --follow?)"},
      {{"-follow"}, "unknown option -follow (did you mean --follow?)"},
      {{"--demo", "--reprot", "r.json"}, "unknown option --reprot (did you mean --report?)"},
      {{"--bogus"}, "unknown option --bogus"},
      {{"--"}, "unknown option --"},
      {{"-platform=offscreen"}, "unknown option -platform=offscreen"},
      {{"demo"}, "unexpected argument demo"},
      {{"--demo", "extra"}, "unexpected argument extra"},
      {{"--png", "a.png", "b.png"}, "unexpected argument b.png"},
      {{"-"}, "unexpected argument -"},
      {{""}, "unexpected empty argument"},
      {{"--png"}, "--png needs a value"},
      {{"--png", "--demo"}, "--png needs a value"},
      {{"--plugin"}, "--plugin needs a value"},
      {{"--demo", "-style"}, "-style needs a value"},
      {{"-platform"}, "-platform needs a value"},
      {{"--seconds", "0"}, "--seconds needs a number from 1 to 120"},
      {{"--seconds", "121"}, "--seconds needs a number from 1 to 120"},
      {{"--seconds", "abc"}, "--seconds needs a number from 1 to 120"},
      {{"--seconds", "nan"}, "--seconds needs a number from 1 to 120"},
      {{"--seconds", "3x"}, "--seconds needs a number from 1 to 120"},
      {{"--rig"}, "--rig needs a value"},
      {{"--rig", "--demo"}, "--rig needs a value"},
      {{"--rig", "side"}, "--rig needs one of default, sides, mixed, overhead, arena"},
      {{"--rig", "Sides"}, "--rig needs one of default, sides, mixed, overhead, arena"},
      {{"--rig", ""}, "--rig needs one of default, sides, mixed, overhead, arena"},
      {{"--method"}, "--method needs a value"},
      {{"--method", "trig"}, "--method needs one of linear, distance, trigonometric"},
      {{"--method", "2"}, "--method needs one of linear, distance, trigonometric"},
      {{"--method", "linear "}, "--method needs one of linear, distance, trigonometric"},
      {{"--methd", "linear"}, "unknown option --methd (did you mean --method?)"},
      {{"--compare", "linear"}, "unexpected argument linear"},
      {{"--compre"}, "unknown option --compre (did you mean --compare?)"},
      {{"--demo", "--follow"}, "--demo and --follow exclude each other"},
      {{"--follow", "--compare"}, "--compare plays the demo and cannot be used with --follow"},
      {{"--compare", "--method", "distance"},
       "--compare plays every method and cannot be used with --method"},
      {{"--compare", "--screenshot", "s.png"},
       "--screenshot shows one session and cannot be used with --compare"},
      {{"--follow", "--screenshot", "s.png"},
       "--screenshot plays the demo and cannot be used with --follow"},
      {{"--follow", "--report", "r.json"},
       "--report is the demo's and cannot be used with --follow"},
      {{"--seconds", "3", "--follow"}, "--seconds is the demo's and cannot be used with --follow"},
  };
  for (const Case& c : cases) {
    const Parsed p = Parse(c.args);
    EXPECT_EQ(p.options.error, c.error) << Line(c.args);
    EXPECT_FALSE(p.options.help) << Line(c.args);
  }
}

TEST(HostOptions, HelpWinsWhereverItStands) {
  for (const Args& args :
       {Args{"--help"}, Args{"-h"}, Args{"--bogus", "--help"}, Args{"stray", "-h", "--folow"}}) {
    const Parsed p = Parse(args);
    EXPECT_TRUE(p.options.help) << Line(args);
  }
}

TEST(HostOptions, ModeFollowsTheOptionsAndTheDisplay) {
  struct Case {
    Args args;
    bool display;
    HostMode mode;
  };
  const Case cases[] = {
      {{}, true, HostMode::Interactive},
      {{}, false, HostMode::Demo},
      {{"--png", "p.png"}, true, HostMode::Interactive},  // what run-demo passes
      {{"--demo"}, true, HostMode::Demo},
      {{"--screenshot", "s.png"}, true, HostMode::Demo},
      {{"--follow"}, true, HostMode::Follow},
      {{"--follow"}, false, HostMode::Follow},
      {{"--rig", "sides"}, true, HostMode::Interactive},
      {{"--rig", "sides"}, false, HostMode::Demo},
      // Fine channels change the heads, not what the host does with them.
      {{"--fine"}, true, HostMode::Interactive},
      {{"--fine", "--rig", "mixed"}, false, HostMode::Demo},
      // Picking a method or comparing them is what the demo plays.
      {{"--method", "distance"}, true, HostMode::Demo},
      {{"--compare"}, true, HostMode::Demo},
      {{"--report", "r.json"}, true, HostMode::Demo},
      {{"--seconds", "3"}, true, HostMode::Demo},
      {{"--follow", "--png", "p.png"}, true, HostMode::Follow},
      {{"--follow", "--method", "trigonometric"}, true, HostMode::Follow},
  };
  for (const Case& c : cases) {
    const Parsed p = Parse(c.args);
    ASSERT_EQ(p.options.error, "") << Line(c.args);
    EXPECT_EQ(ModeFor(p.options, c.display), c.mode) << Line(c.args) << c.display;
  }
}

TEST(OutputFiles, PlannedAreWhatTheModeWrites) {
  struct Case {
    Args args;
    HostMode mode;
    std::vector<std::string> planned;  // option=path
  };
  const Case cases[] = {
      {{}, HostMode::Demo, {"--png=trailbeam-demo.png"}},
      {{"--png", "p.png", "--report", "r.json", "--screenshot", "s.png"},
       HostMode::Demo,
       {"--png=p.png", "--report=r.json", "--screenshot=s.png"}},
      // Neither writes a picture: run-demo's --png is not checked there.
      {{"--png", "/no/such/p.png"}, HostMode::Interactive, {}},
      {{"--follow", "--png", "p.png"}, HostMode::Follow, {}},
      // One picture with a panel per method, one report.
      {{"--compare", "--png", "c.png", "--report", "c.json"},
       HostMode::Demo,
       {"--png=c.png", "--report=c.json"}},
  };
  for (const Case& c : cases) {
    const Parsed p = Parse(c.args);
    ASSERT_EQ(p.options.error, "") << Line(c.args);
    std::vector<std::string> planned;
    for (const OutputFile& f : PlannedOutputs(p.options, c.mode))
      planned.push_back(f.option + "=" + f.path);
    EXPECT_EQ(planned, c.planned) << Line(c.args);
  }
}

// A scratch folder with one of each thing an output path may meet.
class OutputFolder : public testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "tb-outputs-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    std::ofstream(root_ / "old.png") << "x";
    std::ofstream(root_ / "locked.png") << "x";
    chmod((root_ / "locked.png").c_str(), 0444);
    std::filesystem::create_directory(root_ / "folder");
    std::filesystem::create_directory(root_ / "locked");
    chmod((root_ / "locked").c_str(), 0555);
    ASSERT_EQ(mkfifo((root_ / "pipe").c_str(), 0666), 0);
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }
  std::string At(const std::string& name) const { return (root_ / name).string(); }

  std::filesystem::path root_;
};

TEST_F(OutputFolder, ProblemsNameTheOptionThePathAndWhy) {
  struct Case {
    std::string option, path, problem;
  };
  const Case cases[] = {
      {"--png", At("new.png"), ""},
      {"--png", At("old.png"), ""},
      {"--png", "", "--png needs a file name"},
      {"--screenshot", "/no/such/dir/s.png",
       "--screenshot /no/such/dir/s.png: the folder /no/such/dir does not exist"},
      {"--report", At("old.png/r.json"),
       "--report " + At("old.png/r.json") + ": " + At("old.png") + " is not a folder"},
      {"--report", At("folder"), "--report " + At("folder") + ": is a folder, not a file"},
      {"--png", At("pipe"), "--png " + At("pipe") + ": is not a regular file"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(OutputProblem({c.option, c.path}), c.problem) << c.option << " " << c.path;
  // Two options, one file: the second would overwrite the first.
  EXPECT_EQ(OutputProblems({{"--png", At("a.png")}, {"--report", At("folder/../a.png")}}),
            std::vector<std::string>{"--report " + At("folder/../a.png") +
                                     ": --png writes that file too"});
  EXPECT_EQ(OutputProblems({{"--png", At("a.png")}, {"--report", At("a.json")}}),
            std::vector<std::string>{});
}

// Gives up the power to write where the permissions forbid it, and keeps
// root's power to look into any folder. A child that became another user
// could not reach the build tree's scratch folder where the clone lies in a
// folder only its owner may enter (a mktemp -d folder, /root).
bool GiveUpWritingEverywhere() {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
  if (syscall(SYS_capget, &header, data) != 0) return false;
  for (const int cap : {CAP_DAC_OVERRIDE, CAP_FOWNER}) {
    const auto bit = 1u << (cap % 32);
    auto& set = data[cap / 32];
    set.effective &= ~bit;
    set.permitted &= ~bit;
    set.inheritable &= ~bit;
  }
  return syscall(SYS_capset, &header, data) == 0;
}

// What an operator without write permission meets; as root, the check runs
// in a child that has given up root's power to write anything.
TEST_F(OutputFolder, WriteProtectionIsAProblem) {
  const std::vector<OutputFile> files = {{"--png", At("locked.png")},
                                         {"--report", At("locked/r.json")}};
  const std::vector<std::string> want = {
      "--png " + At("locked.png") + ": the file cannot be replaced (Permission denied)",
      "--report " + At("locked/r.json") + ": the folder " + At("locked") +
          " takes no new file (Permission denied)"};
  if (geteuid() != 0) {
    EXPECT_EQ(OutputProblems(files), want);
    return;
  }
  int out[2];
  ASSERT_EQ(pipe(out), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(out[0]);
    if (!GiveUpWritingEverywhere()) _exit(3);
    std::string text;
    for (const std::string& p : OutputProblems(files)) text += p + "\n";
    const bool sent = write(out[1], text.data(), text.size()) == static_cast<ssize_t>(text.size());
    _exit(sent ? 0 : 4);
  }
  close(out[1]);
  std::string text;
  char buffer[512];
  for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;) text.append(buffer, n);
  close(out[0]);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(text, want[0] + "\n" + want[1] + "\n");
}

}  // namespace
}  // namespace tbhost
