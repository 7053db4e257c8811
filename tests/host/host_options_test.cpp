// The host's command line: its own options, Qt's options passed through
// untouched, everything else refused with the argument named.
#include "host/host_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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
  EXPECT_TRUE(p.options.demo);
  EXPECT_EQ(p.options.png, "out.png");
  EXPECT_DOUBLE_EQ(p.options.seconds, 2.5);
  EXPECT_EQ(Parse(cases[8].args).options.plugin, "x.so");
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
      {{"--demo", "--follow"}, "--demo and --follow exclude each other"},
      {{"--follow", "--screenshot", "s.png"},
       "--screenshot plays the demo and cannot be used with --follow"},
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
  };
  for (const Case& c : cases) {
    const Parsed p = Parse(c.args);
    ASSERT_EQ(p.options.error, "") << Line(c.args);
    EXPECT_EQ(ModeFor(p.options, c.display), c.mode) << Line(c.args) << c.display;
  }
}

}  // namespace
}  // namespace tbhost
