#include "rig/settings_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <functional>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "settings_example.h"
#include "temp_dir.h"

namespace tb {
namespace {

using testing::ExampleDevice;
using testing::FillWithExample;
using testing::Join;
using testing::kExample;
using testing::kExampleLines;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

// What a store holds before a read: names and channels that show whether
// the reader reached them, calibration that the reset must clear.
void FillWithOldValues(RigStore& store) {
  for (int d = 1; d <= 4; ++d) {
    *store.Device(d) = {"Old " + std::to_string(d), 100 + d, 200 + d};
    *store.Calibrated(d) = VTrue;
    for (int p = 1; p <= 5; ++p) {
      *store.Pan(d, p) = *store.Tilt(d, p) = 7;
      *store.PanFine(d, p) = *store.TiltFine(d, p) = 8;
    }
  }
}

// Worked independently of the reader: the store after the first `lines`
// lines of the example were read over FillWithOldValues.
void ExpectExampleUpTo(RigStore& store, int lines) {
  FillWithOldValues(store);
  store.ResetCalibration();
  for (int line = 2; line <= lines; ++line) {
    const int d = (line - 2) / 6 + 1;
    const int p = (line - 2) % 6;  // 0: the device line
    const ExampleDevice& e = kExample[d - 1];
    if (p == 0) {
      *store.Device(d) = {e.name, e.pan, e.tilt};
    } else if (e.calibrated) {
      *store.Calibrated(d) = VTrue;
      *store.Pan(d, p) = e.points[p - 1].first;
      *store.Tilt(d, p) = e.points[p - 1].second;
    }
  }
}

std::string Dump(const RigStore& store) {
  std::ostringstream out;
  for (int d = 1; d <= 4; ++d) {
    const DeviceRecord& r = *store.Device(d);
    out << d << " '" << r.Name << "' " << r.PanChannel << " " << r.TiltChannel << " ranges "
        << r.PanRange << "/" << r.TiltRange << " fine " << r.PanFineChannel << " "
        << r.TiltFineChannel << " flag " << *store.Calibrated(d) << ":";
    for (int p = 1; p <= 5; ++p) {
      out << " " << *store.Pan(d, p) << "/" << *store.Tilt(d, p) << "+" << *store.PanFine(d, p)
          << "/" << *store.TiltFine(d, p);
    }
    out << "\n";
  }
  return out.str();
}

TEST(SaveConfig, WorkedExampleBytes) {
  TempDir dir;
  RigStore store;
  FillWithExample(store);
  const std::string path = dir.File("TrailBeam.ini");
  ASSERT_FALSE(save_config(store, path));
  EXPECT_EQ(ReadBytes(path), Join(kExampleLines));
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"TrailBeam.ini"});
}

TEST(SaveConfig, FlagIsAnyNonZeroValueAndNumbersArePlainDecimal) {
  RigStore store;
  FillWithExample(store);
  store.DeviceCalibrated = {VFalse, 1, 0, 32767};
  *store.Device(4) = {"Neg", kMin, kMax};
  *store.Pan(4, 1) = kMin;
  *store.Tilt(4, 5) = kMax;
  const std::string bytes = ConfigFileBytes(store);
  std::vector<std::string> lines = kExampleLines;
  for (int i = 2; i <= 6; ++i) lines[i] = "0" + lines[i].substr(1);
  lines[19] = "Neg,-2147483648,2147483647";
  for (int i = 20; i <= 24; ++i) lines[i] = "1" + lines[i].substr(1);
  lines[20] = "1,-2147483648,-1";
  lines[24] = "1,-1,2147483647";
  EXPECT_EQ(bytes, Join(lines));
}

TEST(ReadConfig, WorkedExample) {
  TempDir dir;
  const std::string path = dir.File("TrailBeam.ini");
  WriteBytes(path, Join(kExampleLines));
  RigStore store, expected;
  FillWithOldValues(store);
  read_config(store, path);
  ExpectExampleUpTo(expected, 25);
  EXPECT_EQ(Dump(store), Dump(expected));
  // Spelled out once, so that the expectation builder is checked too.
  EXPECT_EQ(store.Device(3)->Name, "Wash 3");
  EXPECT_EQ(*store.Calibrated(3), VFalse);
  EXPECT_EQ(*store.Pan(3, 2), Uncalibrated);
  EXPECT_EQ(*store.Calibrated(2), VTrue);
  EXPECT_EQ(*store.Tilt(2, 2), 190);
  EXPECT_EQ(store.Device(4)->Name, "");
  EXPECT_EQ(store.Device(4)->TiltChannel, 0);
}

// How a case changes the example file.
using Edit = std::function<void(std::vector<std::string>&)>;
Edit Replace(int line, std::string text) {
  return [=](std::vector<std::string>& lines) { lines[line - 1] = text; };
}
Edit EndAfter(int line) {
  return [=](std::vector<std::string>& lines) { lines.resize(line); };
}

TEST(ReadConfig, EveryWayAFileCanBeBrokenOrOdd) {
  using Store = RigStore;
  const struct {
    const char* what;
    Edit edit;
    int linesTaken;  // example lines read completely before the fault
    std::function<void(Store&)> partial = [](Store&) {};
  } cases[] = {
      {"empty file", EndAfter(0), 0},
      {"title line only", EndAfter(1), 1},
      {"ends after line 13", EndAfter(13), 13},
      {"ends after line 24", EndAfter(24), 24},
      {"any title, even empty", Replace(1, ""), 25},
      {"lines after 25 ignored", [](auto& l) { l.push_back("junk,x,y"); }, 25},
      {"empty device line", Replace(8, ""), 7},
      {"device line of one field", Replace(8, "Spot"), 7,
       [](Store& s) { s.Device(2)->Name = "Spot"; }},
      {"device line of two fields", Replace(8, "Spot,5"), 7,
       [](Store& s) {
         *s.Device(2) = {"Spot", 5, 202};
       }},
      {"device line of four fields", Replace(8, "Spot,5,6,7"), 25,
       [](Store& s) {
         *s.Device(2) = {"Spot", 5, 6};
       }},
      {"name with a comma", Replace(2, "Spot, links,1,2"), 1,
       [](Store& s) { s.Device(1)->Name = "Spot"; }},
      {"name keeps its blanks", Replace(2, "  Spot  ,1,2"), 25,
       [](Store& s) { s.Device(1)->Name = "  Spot  "; }},
      {"channel not a number", Replace(8, "Spot,x,18"), 7,
       [](Store& s) { s.Device(2)->Name = "Spot"; }},
      {"channel empty", Replace(8, "Spot,,18"), 7, [](Store& s) { s.Device(2)->Name = "Spot"; }},
      {"channel above int32", Replace(8, "Spot,17,2147483648"), 7,
       [](Store& s) {
         *s.Device(2) = {"Spot", 17, 202};
       }},
      {"channel below int32", Replace(8, "Spot,-2147483649,18"), 7,
       [](Store& s) { s.Device(2)->Name = "Spot"; }},
      {"channels at the ends of int32", Replace(8, "Spot,-2147483648,2147483647"), 25,
       [](Store& s) {
         *s.Device(2) = {"Spot", kMin, kMax};
       }},
      {"very long digit string", Replace(8, "Spot,17," + std::string(400, '9')), 7,
       [](Store& s) {
         *s.Device(2) = {"Spot", 17, 202};
       }},
      {"blanks and signs around numbers", Replace(8, "Spot, +17 ,\t-18\t"), 25,
       [](Store& s) {
         *s.Device(2) = {"Spot", 17, -18};
       }},
      {"blank inside a number", Replace(8, "Spot,1 7,18"), 7,
       [](Store& s) { s.Device(2)->Name = "Spot"; }},
      {"sign without digits", Replace(8, "Spot,-,18"), 7,
       [](Store& s) { s.Device(2)->Name = "Spot"; }},
      {"blank after the sign", Replace(8, "Spot,- 17,18"), 7,
       [](Store& s) { s.Device(2)->Name = "Spot"; }},
      {"hexadecimal", Replace(8, "Spot,0x11,18"), 7, [](Store& s) { s.Device(2)->Name = "Spot"; }},
      {"fraction", Replace(8, "Spot,17.0,18"), 7, [](Store& s) { s.Device(2)->Name = "Spot"; }},
      {"exponent", Replace(8, "Spot,1e1,18"), 7, [](Store& s) { s.Device(2)->Name = "Spot"; }},
      {"digit grouping", Replace(8, "Spot,1.017,18"), 7,
       [](Store& s) { s.Device(2)->Name = "Spot"; }},
      {"empty point line", Replace(10, ""), 9},
      {"flag only, flag 1", Replace(10, "1"), 9,
       [](Store&) { /* the flag was already true from line 9 */ }},
      {"flag 1 and pan only", Replace(16, "1,96"), 15,
       [](Store& s) {
         *s.Calibrated(3) = VTrue;
         *s.Pan(3, 2) = 96;
       }},
      {"flag 1, tilt not a number", Replace(16, "1,96,x"), 15,
       [](Store& s) {
         *s.Calibrated(3) = VTrue;
         *s.Pan(3, 2) = 96;
       }},
      {"flag 1, pan out of range", Replace(16, "1,4294967296,140"), 15,
       [](Store& s) { *s.Calibrated(3) = VTrue; }},
      {"flag not a number", Replace(16, "x,96,140"), 15},
      {"flag empty", Replace(16, ",96,140"), 15},
      {"flag 1.0 is not a number", Replace(16, "1.0,96,140"), 15},
      {"flag 0 alone is skipped", Replace(10, "0"), 25,
       [](Store& s) { *s.Pan(2, 2) = *s.Tilt(2, 2) = Uncalibrated; }},
      {"flag -1 is skipped", Replace(10, "-1,31,190"), 25,
       [](Store& s) { *s.Pan(2, 2) = *s.Tilt(2, 2) = Uncalibrated; }},
      {"flag 2 is skipped", Replace(10, "2,31,190"), 25,
       [](Store& s) { *s.Pan(2, 2) = *s.Tilt(2, 2) = Uncalibrated; }},
      {"flag beyond int32 is a number other than 1", Replace(10, "99999999999,31,190"), 25,
       [](Store& s) { *s.Pan(2, 2) = *s.Tilt(2, 2) = Uncalibrated; }},
      {"flag 01 with blanks counts as 1", Replace(16, " 01 ,96,140"), 25,
       [](Store& s) {
         *s.Calibrated(3) = VTrue;
         *s.Pan(3, 2) = 96;
         *s.Tilt(3, 2) = 140;
       }},
      {"flag +1 counts as 1", Replace(16, "+1,96,140"), 25,
       [](Store& s) {
         *s.Calibrated(3) = VTrue;
         *s.Pan(3, 2) = 96;
         *s.Tilt(3, 2) = 140;
       }},
      {"flag 1 with values -1", Replace(21, "1,-1,-1"), 25,
       [](Store& s) { *s.Calibrated(4) = VTrue; }},
      {"longest name", Replace(8, std::string(kMaxNameBytes, 'N') + ",17,18"), 25,
       [](Store& s) { s.Device(2)->Name = std::string(kMaxNameBytes, 'N'); }},
      {"name too long", Replace(8, std::string(kMaxNameBytes + 1, 'N') + ",17,18"), 7},
      {"line too long", Replace(10, "1,31,190" + std::string(kMaxLineBytes, ' ')), 9},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::string> lines = kExampleLines;
    c.edit(lines);
    RigStore store, expected;
    FillWithOldValues(store);
    ReadConfigFromBytes(store, Join(lines));
    ExpectExampleUpTo(expected, c.linesTaken);
    c.partial(expected);
    EXPECT_EQ(Dump(store), Dump(expected));
  }
}

TEST(ReadConfig, MissingOrUnreadableFileOnlyResetsTheCalibration) {
  TempDir dir;
  std::filesystem::create_directory(dir.File("TrailBeam.ini"));
  // A pipe without a writer would block an ordinary open for ever.
  ASSERT_EQ(::mkfifo(dir.File("pipe.ini").c_str(), 0666), 0);
  for (const std::string& path : {dir.File("absent.ini"), dir.File("TrailBeam.ini"),
                                  dir.File("no/such/folder/TrailBeam.ini"), dir.File("pipe.ini")}) {
    RigStore store, expected;
    FillWithOldValues(store);
    read_config(store, path);
    ExpectExampleUpTo(expected, 0);
    EXPECT_EQ(Dump(store), Dump(expected)) << path;
  }
}

TEST(ReadConfig, LineEndsCrLfLfAndLoneCrAllEndALine) {
  TempDir dir;
  const std::string path = dir.File("TrailBeam.ini");
  RigStore expected;
  ExpectExampleUpTo(expected, 25);
  std::string mixed;
  const char* ends[] = {"\r\n", "\n", "\r"};
  for (std::size_t i = 0; i < kExampleLines.size(); ++i) mixed += kExampleLines[i] + ends[i % 3];
  const std::string files[] = {
      Join(kExampleLines, "\r\n"),
      Join(kExampleLines, "\n"),
      Join(kExampleLines, "\r"),
      mixed,
      Join(kExampleLines).substr(0, Join(kExampleLines).size() - 2),  // last line unended
  };
  for (const auto& bytes : files) {
    WriteBytes(path, bytes);
    RigStore fromFile, fromBytes;
    FillWithOldValues(fromFile);
    FillWithOldValues(fromBytes);
    read_config(fromFile, path);
    ReadConfigFromBytes(fromBytes, bytes);
    EXPECT_EQ(Dump(fromFile), Dump(expected)) << ::testing::PrintToString(bytes);
    EXPECT_EQ(Dump(fromBytes), Dump(expected)) << ::testing::PrintToString(bytes);
  }
  // A doubled line end is an empty line where a device or point line is due.
  std::vector<std::string> lines = kExampleLines;
  WriteBytes(path, Join(lines, "\n\n"));
  RigStore store;
  read_config(store, path);
  ExpectExampleUpTo(expected, 1);
  expected.DeviceTable = {};
  EXPECT_EQ(Dump(store), Dump(expected));
}

TEST(SettingsFile, SaveThenReadRestoresTheStore) {
  TempDir dir;
  const std::string path = dir.File("TrailBeam.ini");
  RigStore saved;
  const char* names[] = {"Front wash", "Gerät 1", "", " € spaced "};
  for (int d = 1; d <= 4; ++d) {
    *saved.Device(d) = {names[d - 1], 7 * d, d == 4 ? kMax : 512 - d};
    *saved.Calibrated(d) = VTrue;
    for (int p = 1; p <= 5; ++p) {
      *saved.Pan(d, p) = (d * 37 + p * 51) % 256;
      *saved.Tilt(d, p) = (d * 91 + p * 13) % 256;
    }
  }
  *saved.Pan(1, 1) = 0;
  *saved.Tilt(1, 1) = 255;
  ASSERT_FALSE(save_config(saved, path));
  RigStore read;
  read_config(read, path);
  EXPECT_EQ(Dump(read), Dump(saved));

  // Points of a device not marked calibrated do not survive.
  *saved.Calibrated(2) = VFalse;
  ASSERT_FALSE(save_config(saved, path));
  read_config(read, path);
  for (int p = 1; p <= 5; ++p) {
    *saved.Pan(2, p) = *saved.Tilt(2, p) = Uncalibrated;
  }
  EXPECT_EQ(Dump(read), Dump(saved));
}

TEST(SettingsFile, Windows1252OnDiskUtf8InTheStore) {
  TempDir dir;
  const std::string path = dir.File("TrailBeam.ini");
  std::vector<std::string> lines = kExampleLines;
  lines[1] = "Ger\xE4t 1,1,2";
  lines[7] = "\x80\x81\x8D\x8F\x90\x9D\x9F\xA0\xFF,17,18";
  lines[15] = "0,-1,-1";  // the example's unflagged K2 pair is not loaded, so not saved
  WriteBytes(path, Join(lines));
  RigStore store;
  read_config(store, path);
  EXPECT_EQ(store.Device(1)->Name, "Gerät 1");
  EXPECT_EQ(store.Device(2)->Name, "€\u0081\u008D\u008F\u0090\u009DŸ\u00A0ÿ");
  ASSERT_FALSE(save_config(store, path));
  EXPECT_EQ(ReadBytes(path), Join(lines));

  // Every byte but comma, CR and LF comes back as it was.
  std::string all;
  for (int b = 1; b < 256; ++b) {
    if (b != ',' && b != '\r' && b != '\n') all += static_cast<char>(b);
  }
  lines[13] = all + ",33,35";
  WriteBytes(path, Join(lines));
  read_config(store, path);
  EXPECT_TRUE(IsStorableName(store.Device(3)->Name));
  ASSERT_FALSE(save_config(store, path));
  EXPECT_EQ(ReadBytes(path), Join(lines));
}

// A file an editor saved in UTF-8 reads as UTF-8 and is saved back in
// Windows-1252; a name that would not come back the same ends the reading,
// as a broken line does, rather than being saved as something else.
TEST(ReadConfig, NamesOfAFileSavedInUtf8) {
  const std::string bom = "\xEF\xBB\xBF";
  const struct {
    const char* what;
    std::string title, line2, line8;
    std::string name1, name2;  // expected, UTF-8
    int stopsAt;               // the line the reading ends at; 0: none
  } cases[] = {
      {"UTF-8 with a byte-order mark", bom + "TrailBeam.ini", "K\xC3\xB6pfchen,1,2",
       "Spot rechts,17,18", "Köpfchen", "Spot rechts", 0},
      {"UTF-8 without one", "TrailBeam.ini", "K\xC3\xB6pfchen,1,2", "\xE2\x82\xAC 2,17,18",
       "Köpfchen", "€ 2", 0},
      {"a mark and only ASCII", bom + "TrailBeam.ini", "Spot,1,2", "Spot rechts,17,18", "Spot",
       "Spot rechts", 0},
      {"Windows-1252 as ever", "TrailBeam.ini", "K\xF6pfchen,1,2", "\x80 2,17,18", "Köpfchen",
       "€ 2", 0},
      // One byte that is no UTF-8 makes the whole file Windows-1252; a name
      // whose bytes spell UTF-8 there would not read back the same.
      {"mixed", "TrailBeam.ini", "Spot \xF6,1,2", "K\xC3\xB6pfchen,17,18", "Spot ö", "Old 2", 8},
      {"a letter Windows-1252 lacks", "TrailBeam.ini", "Spot,1,2",
       "\xC5\x81\xC3\xB3"
       "d\xC5\xBA,17,18",
       "Spot", "Old 2", 8},
      {"a mark and a byte that is no UTF-8", bom + "TrailBeam.ini", "K\xF6pfchen,1,2",
       "Spot rechts,17,18", "Old 1", "Old 2", 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::string> lines = kExampleLines;
    lines[0] = c.title;
    lines[1] = c.line2;
    lines[7] = c.line8;
    RigStore store;
    FillWithOldValues(store);
    const auto stop = ReadConfigReport(store, Join(lines));
    EXPECT_EQ(store.Device(1)->Name, c.name1);
    EXPECT_EQ(store.Device(2)->Name, c.name2);
    EXPECT_EQ(stop ? stop->line : 0, c.stopsAt);
    if (c.stopsAt != 0) continue;
    // Saved in Windows-1252, and read back the same.
    const std::string saved = ConfigFileBytes(store);
    EXPECT_FALSE(std::string_view(saved).starts_with(bom));
    RigStore again;
    ReadConfigFromBytes(again, saved);
    EXPECT_EQ(Dump(again), Dump(store));
    EXPECT_EQ(ConfigFileBytes(again), saved);
  }
}

// Where and why a reading ends early, as the show box tells the operator.
TEST(ReadConfig, ReportTellsTheLineAndWhyTheReadingEnded) {
  const struct {
    const char* what;
    Edit edit;
    int line;  // 0: the whole file was taken
    const char* reason;
  } cases[] = {
      {"complete", [](auto&) {}, 0, ""},
      {"lines after 25", [](auto& l) { l.push_back("junk"); }, 0, ""},
      {"empty", EndAfter(0), 1, "the file is empty"},
      {"title only", EndAfter(1), 2, "the file ends before it"},
      {"ends after line 13", EndAfter(13), 14, "the file ends before it"},
      {"empty device line", Replace(8, ""), 8, "it is empty"},
      {"a comma in a name", Replace(8, "Spot, rechts,17,18"), 8,
       "its pan channel is no whole number"},
      {"no tilt channel", Replace(14, "Wash 3,33"), 14, "it has no tilt channel"},
      {"channel beyond 32 bits", Replace(2, "Spot links,1,2147483648"), 2,
       "its tilt channel is no whole number"},
      {"broken flag", Replace(5, "x,60,200"), 5, "its calibrated flag is no number"},
      {"point cut short", Replace(12, "1,200"), 12, "it has no tilt value"},
      {"point value broken", Replace(12, "1,2 0,20"), 12, "its pan value is no whole number"},
      {"empty point line", Replace(25, ""), 25, "it is empty"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::string> lines = kExampleLines;
    c.edit(lines);
    RigStore store;
    const auto stop = ReadConfigReport(store, Join(lines));
    EXPECT_EQ(stop ? stop->line : 0, c.line);
    EXPECT_EQ(stop ? stop->reason : "", c.reason);
  }
  // Cut off in the middle of the last line: taken as far as it goes, and told.
  std::string cut = Join(kExampleLines);
  cut.resize(cut.size() - 3);
  RigStore store;
  const auto stop = ReadConfigReport(store, cut);
  ASSERT_TRUE(stop);
  EXPECT_EQ(stop->line, 25);
  EXPECT_EQ(stop->reason, "the file ends in the middle of it");
  // Cut off earlier, whether the cut line reads or not.
  for (const char* cutLine : {"1,220,4", "1,22", "1"}) {
    SCOPED_TRACE(cutLine);
    std::vector<std::string> lines(kExampleLines.begin(), kExampleLines.begin() + 11);
    RigStore partly;
    const auto atCut = ReadConfigReport(partly, Join(lines) + cutLine);
    ASSERT_TRUE(atCut);
    EXPECT_EQ(atCut->line, 12);
    EXPECT_EQ(atCut->reason, "the file ends in the middle of it");
  }
  // A line longer than any the writer makes.
  RigStore longLine;
  const auto tooLong =
      ReadConfigReport(longLine, "TrailBeam.ini\r\n" + std::string(kMaxLineBytes + 1, 'a'));
  ASSERT_TRUE(tooLong);
  EXPECT_EQ(tooLong->line, 2);
  EXPECT_EQ(tooLong->reason, "it is longer than a line can be");
}

TEST(SettingsFile, NamesWindows1252CannotHoldAreWrittenWithAQuestionMarkPerCharacter) {
  const struct {
    const char* utf8;
    bool storable;
    const char* written;
  } cases[] = {
      {"Gerät 1", true, "Ger\xE4t 1"},
      {"€‚ƒ„…†‡ˆ‰Š‹ŒŽ‘’“”•–—˜™š›œžŸ", true,
       "\x80\x82\x83\x84\x85\x86\x87\x88\x89\x8A\x8B\x8C\x8E\x91\x92\x93\x94\x95\x96\x97\x98"
       "\x99\x9A\x9B\x9C\x9E\x9F"},
      {"", true, ""},
      {"Spot, links", false, "Spot, links"},  // written as it stands
      {"a\rb", false, "a\rb"},
      {"a\nb", false, "a\nb"},
      {"日本 1", false, "?? 1"},
      {"Ω\u0080", false, "??"},  // U+0080 has no byte in Windows-1252
      {"smile \U0001F600!", false, "smile ?!"},
      {"bad \xFF\xC3 utf8", false, "bad ?? utf8"},
      {"\xC0\xAF overlong", false, "?? overlong"},
      {"\xED\xA0\x80 surrogate", false, "??? surrogate"},
      {"cut \xE2\x82", false, "cut ??"},
      // Its two bytes in Windows-1252 spell "ä" in UTF-8, and would read so.
      {"Ã¤", false, "\xC3\xA4"},
      {"Ã¤ ü", true, "\xC3\xA4 \xFC"},
  };
  EXPECT_TRUE(IsStorableName(std::string(kMaxNameBytes - 1, 'a') + "ä"));
  EXPECT_FALSE(IsStorableName(std::string(kMaxNameBytes, 'a') + "ä"));
  for (const auto& c : cases) {
    EXPECT_EQ(IsStorableName(c.utf8), c.storable) << c.utf8;
    RigStore store;
    store.Device(1)->Name = c.utf8;
    const std::string bytes = ConfigFileBytes(store);
    EXPECT_EQ(bytes.substr(15, bytes.find(",0,0\r\n", 15) - 15), c.written) << c.utf8;
  }
}

// Ranges the reader must not reach or must replace: none of them is 540/270.
void SetOldRanges(RigStore& store, int fromDevice = 1) {
  for (int d = fromDevice; d <= 4; ++d) {
    store.Device(d)->PanRange = 300 + d;
    store.Device(d)->TiltRange = 100 + d;
  }
}

TEST(SaveConfig, RangesFollowTheChannelsOnlyWhenNotTheDefaults) {
  const struct {
    std::int32_t pan, tilt;
    const char* written;  // after "Spot rechts,17,18"
  } cases[] = {
      {540, 270, ""},
      {541, 270, ",541,270"},
      {540, 269, ",540,269"},
      {630, 265, ",630,265"},
      {1, 1080, ",1,1080"},
      {1080, 1, ",1080,1"},
      // Never held by a store the window filled; written as the reader takes them.
      {0, 270, ",1,270"},
      {5000, -3, ",1080,1"},
      {kMin, kMax, ",1,1080"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.pan << "/" << c.tilt);
    RigStore store;
    FillWithExample(store);
    store.Device(2)->PanRange = c.pan;
    store.Device(2)->TiltRange = c.tilt;
    std::vector<std::string> lines = kExampleLines;
    lines[7] += c.written;
    EXPECT_EQ(ConfigFileBytes(store), Join(lines));
  }
}

TEST(SettingsFile, RangesRoundTrip) {
  TempDir dir;
  const std::string path = dir.File("TrailBeam.ini");
  RigStore saved;
  FillWithExample(saved);
  const std::pair<std::int32_t, std::int32_t> ranges[4] = {
      {1, 1080}, {630, 265}, {540, 270}, {1080, 1}};
  for (int d = 1; d <= 4; ++d) {
    saved.Device(d)->PanRange = ranges[d - 1].first;
    saved.Device(d)->TiltRange = ranges[d - 1].second;
  }
  // The longest name with the longest numbers still reads back.
  *saved.Device(4) = {std::string(kMaxNameBytes, 'N'), kMin, kMin, 1080, 1080};
  ASSERT_FALSE(save_config(saved, path));
  RigStore read;
  SetOldRanges(read);
  read_config(read, path);
  // Device 3 is not calibrated, so its K2 pair does not come back.
  *saved.Pan(3, 2) = *saved.Tilt(3, 2) = Uncalibrated;
  EXPECT_EQ(Dump(read), Dump(saved));
}

TEST(ReadConfig, RangesAreTakenWhenBothAreWholeNumbersInRangeAndNeverEndTheReading) {
  using Store = RigStore;
  const struct {
    const char* what;
    std::string line8;
    int linesTaken;
    std::function<void(Store&)> partial = [](Store&) {};
  } cases[] = {
      {"no ranges: an old file", "Spot rechts,17,18", 25},
      {"both ranges", "Spot rechts,17,18,630,265", 25,
       [](Store& s) {
         s.Device(2)->PanRange = 630;
         s.Device(2)->TiltRange = 265;
       }},
      {"the ends of the range", "Spot rechts,17,18,1,1080", 25,
       [](Store& s) {
         s.Device(2)->PanRange = 1;
         s.Device(2)->TiltRange = 1080;
       }},
      {"blanks and a plus sign", "Spot rechts,17,18, +1080 ,\t1\t", 25,
       [](Store& s) {
         s.Device(2)->PanRange = 1080;
         s.Device(2)->TiltRange = 1;
       }},
      {"fields after the fifth ignored", "Spot rechts,17,18,630,265,x,y", 25,
       [](Store& s) {
         s.Device(2)->PanRange = 630;
         s.Device(2)->TiltRange = 265;
       }},
      {"tilt range missing", "Spot rechts,17,18,630", 25},
      {"pan range empty", "Spot rechts,17,18,,265", 25},
      {"tilt range empty", "Spot rechts,17,18,630,", 25},
      {"pan range 0", "Spot rechts,17,18,0,265", 25},
      {"tilt range 0", "Spot rechts,17,18,630,0", 25},
      {"pan range 1081", "Spot rechts,17,18,1081,265", 25},
      {"tilt range 1081", "Spot rechts,17,18,630,1081", 25},
      {"negative range", "Spot rechts,17,18,-540,270", 25},
      {"text", "Spot rechts,17,18,wide,265", 25},
      {"fraction", "Spot rechts,17,18,630.5,265", 25},
      {"exponent", "Spot rechts,17,18,6e2,265", 25},
      {"hexadecimal", "Spot rechts,17,18,0x21C,265", 25},
      {"huge", "Spot rechts,17,18,630," + std::string(40, '9'), 25},
      {"beyond int32", "Spot rechts,17,18,4294967926,265", 25},
      // The reading ends before the ranges: they keep their values, like
      // the channels.
      {"tilt channel missing", "Spot rechts,17", 7,
       [](Store& s) {
         s.Device(2)->Name = "Spot rechts";
         s.Device(2)->PanChannel = 17;
       }},
      {"tilt channel broken, ranges fine", "Spot rechts,17,x,630,265", 7,
       [](Store& s) {
         s.Device(2)->Name = "Spot rechts";
         s.Device(2)->PanChannel = 17;
       }},
      {"name with a comma", "Spot, rechts,17,18,630,265", 7,
       [](Store& s) { s.Device(2)->Name = "Spot"; }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::string> lines = kExampleLines;
    lines[7] = c.line8;
    RigStore store, expected;
    FillWithOldValues(store);
    SetOldRanges(store);
    ReadConfigFromBytes(store, Join(lines));
    ExpectExampleUpTo(expected, c.linesTaken);
    // Devices whose device line was read have 540/270 unless the case says.
    int firstUnread = 1;
    while (firstUnread <= 4 && 2 + 6 * (firstUnread - 1) <= c.linesTaken) ++firstUnread;
    SetOldRanges(expected, firstUnread);
    c.partial(expected);
    EXPECT_EQ(Dump(store), Dump(expected));
  }
}

// Device 2 of the example with fine channels and a fine byte on each point.
void GiveDevice2FineChannels(RigStore& store, std::int32_t panFine, std::int32_t tiltFine) {
  store.Device(2)->PanFineChannel = panFine;
  store.Device(2)->TiltFineChannel = tiltFine;
  for (int p = 1; p <= 5; ++p) {
    *store.PanFine(2, p) = 10 * p;
    *store.TiltFine(2, p) = 255 - p;
  }
}

TEST(SaveConfig, FineChannelsAddFieldsOnlyToTheLinesOfTheirDevice) {
  const struct {
    const char* what;
    std::int32_t panFine, tiltFine, panRange, tiltRange;
    const char* deviceLine;  // line 8; the point lines follow below
    bool pointFine;
  } cases[] = {
      // The fine bytes a device keeps from an earlier fine channel stay out.
      {"no fine channel", 0, 0, 540, 270, "Spot rechts,17,18", false},
      {"no fine channel, own ranges", 0, 0, 630, 265, "Spot rechts,17,18,630,265", false},
      {"both", 19, 20, 540, 270, "Spot rechts,17,18,540,270,19,20", true},
      {"both, own ranges", 19, 20, 630, 265, "Spot rechts,17,18,630,265,19,20", true},
      {"pan fine only", 19, 0, 540, 270, "Spot rechts,17,18,540,270,19,0", true},
      {"tilt fine only", 0, 20, 540, 270, "Spot rechts,17,18,540,270,0,20", true},
      {"negative channel", -5, 0, 540, 270, "Spot rechts,17,18,540,270,-5,0", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    RigStore store;
    FillWithExample(store);
    GiveDevice2FineChannels(store, c.panFine, c.tiltFine);
    store.Device(2)->PanRange = c.panRange;
    store.Device(2)->TiltRange = c.tiltRange;
    std::vector<std::string> lines = kExampleLines;
    lines[7] = c.deviceLine;
    for (int p = 1; p <= 5 && c.pointFine; ++p)
      lines[7 + p] += "," + std::to_string(10 * p) + "," + std::to_string(255 - p);
    EXPECT_EQ(ConfigFileBytes(store), Join(lines));
  }
}

TEST(SettingsFile, FineChannelsAndValuesRoundTrip) {
  TempDir dir;
  const std::string path = dir.File("TrailBeam.ini");
  RigStore saved;
  FillWithExample(saved);
  GiveDevice2FineChannels(saved, 19, 0);
  saved.Device(1)->PanFineChannel = kMin;
  saved.Device(1)->TiltFineChannel = kMax;
  *saved.PanFine(1, 3) = kMin;
  *saved.TiltFine(1, 5) = kMax;
  // Device 3 is not calibrated: its point lines carry the fine bytes, which
  // do not come back, like its K2 pair.
  saved.Device(3)->TiltFineChannel = 36;
  *saved.PanFine(3, 2) = 7;
  ASSERT_FALSE(save_config(saved, path));
  RigStore read;
  FillWithOldValues(read);
  read_config(read, path);
  *saved.Pan(3, 2) = *saved.Tilt(3, 2) = Uncalibrated;
  *saved.PanFine(3, 2) = 0;
  EXPECT_EQ(Dump(read), Dump(saved));
  const std::string head =
      "TrailBeam.ini\r\nSpot links,1,2,540,270,-2147483648,2147483647\r\n1,60,40,0,0\r\n";
  EXPECT_EQ(ReadBytes(path).substr(0, head.size()), head);
}

TEST(ReadConfig, BrokenOrMissingFineFieldsReadAsZeroAndNeverEndTheReading) {
  using Store = RigStore;
  const struct {
    const char* what;
    std::string line8;  // device 2
    std::string line9;  // its K1
    std::function<void(Store&)> expected = [](Store&) {};
  } cases[] = {
      {"an older file's lines", "Spot rechts,17,18", "1,30,10"},
      {"fine channels and values", "Spot rechts,17,18,540,270,19,20", "1,30,10,128,3",
       [](Store& s) {
         s.Device(2)->PanFineChannel = 19;
         s.Device(2)->TiltFineChannel = 20;
         *s.PanFine(2, 1) = 128;
         *s.TiltFine(2, 1) = 3;
       }},
      {"blanks, signs, fields after the seventh", "Spot rechts,17,18,540,270, +19 ,\t20,x",
       "1,30,10, 128 ,-3,x",
       [](Store& s) {
         s.Device(2)->PanFineChannel = 19;
         s.Device(2)->TiltFineChannel = 20;
         *s.PanFine(2, 1) = 128;
         *s.TiltFine(2, 1) = -3;
       }},
      {"tilt fine channel missing", "Spot rechts,17,18,540,270,19", "1,30,10,128,3",
       [](Store& s) {
         s.Device(2)->PanFineChannel = 19;
         *s.PanFine(2, 1) = 128;
         *s.TiltFine(2, 1) = 3;
       }},
      {"pan fine channel broken", "Spot rechts,17,18,540,270,x19,20", "1,30,10,128,3",
       [](Store& s) {
         s.Device(2)->TiltFineChannel = 20;
         *s.PanFine(2, 1) = 128;
         *s.TiltFine(2, 1) = 3;
       }},
      {"fine channels beyond int32", "Spot rechts,17,18,540,270,2147483648,-2147483649",
       "1,30,10,128,3"},
      {"fine channels empty", "Spot rechts,17,18,540,270,,", "1,30,10,128,3"},
      {"fine channels without ranges", "Spot rechts,17,18,,,19,20", "1,30,10,128,3",
       [](Store& s) {
         s.Device(2)->PanFineChannel = 19;
         s.Device(2)->TiltFineChannel = 20;
         *s.PanFine(2, 1) = 128;
         *s.TiltFine(2, 1) = 3;
       }},
      {"fine values missing", "Spot rechts,17,18,540,270,19,20", "1,30,10",
       [](Store& s) {
         s.Device(2)->PanFineChannel = 19;
         s.Device(2)->TiltFineChannel = 20;
       }},
      {"fine values broken", "Spot rechts,17,18,540,270,19,20", "1,30,10,1.5,0x10",
       [](Store& s) {
         s.Device(2)->PanFineChannel = 19;
         s.Device(2)->TiltFineChannel = 20;
       }},
      {"tilt fine value empty", "Spot rechts,17,18,540,270,19,20", "1,30,10,128,",
       [](Store& s) {
         s.Device(2)->PanFineChannel = 19;
         s.Device(2)->TiltFineChannel = 20;
         *s.PanFine(2, 1) = 128;
       }},
      {"fine values of a device without fine channels", "Spot rechts,17,18,540,270,0,0",
       "1,30,10,128,3"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::string> lines = kExampleLines;
    lines[7] = c.line8;
    lines[8] = c.line9;
    RigStore store, expected;
    FillWithOldValues(store);
    // Fine channels the file's device lines replace.
    for (DeviceRecord& device : store.DeviceTable)
      device.PanFineChannel = device.TiltFineChannel = 9;
    ReadConfigFromBytes(store, Join(lines));
    ExpectExampleUpTo(expected, 25);
    c.expected(expected);
    EXPECT_EQ(Dump(store), Dump(expected));
  }
}

class SaveConfigFailures : public ::testing::Test {
 protected:
  void SetUp() override {
    path = dir.File("TrailBeam.ini");
    FillWithExample(store);
    WriteBytes(path, "old contents\r\n");
  }
  TempDir dir;
  std::string path;
  RigStore store;
};

TEST_F(SaveConfigFailures, WriteProtectedFileIsNeverReplacedEvenForRoot) {
  const struct {
    mode_t mode;
    bool readOnly;
  } cases[] = {{0444, true},  {0400, true},  {0555, true},  {0000, true},
               {0644, false}, {0200, false}, {0020, false}, {0002, false}};
  for (const auto& c : cases) {
    WriteBytes(path, "old contents\r\n");
    ASSERT_EQ(::chmod(path.c_str(), c.mode), 0);
    const std::error_code e = save_config(store, path);
    SCOPED_TRACE(::testing::Message() << std::oct << c.mode);
    if (c.readOnly) {
      EXPECT_EQ(e, make_error_code(Errc::read_only_file));
      ::chmod(path.c_str(), 0644);
      EXPECT_EQ(ReadBytes(path), "old contents\r\n");
      EXPECT_EQ(dir.Entries(), std::vector<std::string>{"TrailBeam.ini"});
    } else {
      EXPECT_FALSE(e) << e.message();
      ::chmod(path.c_str(), 0644);
      EXPECT_EQ(ReadBytes(path), Join(kExampleLines));
      EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"TrailBeam.ini", "TrailBeam.ini.bak"}));
    }
    std::filesystem::remove(path + ".bak");
  }
}

TEST_F(SaveConfigFailures, ReplacementKeepsTheOldPermissionsAndNewFilesFollowTheUmask) {
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  ASSERT_FALSE(save_config(store, path));
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);

  const mode_t old = ::umask(027);
  const std::string fresh = dir.File("fresh.ini");
  const std::error_code e = save_config(store, fresh);
  ::umask(old);
  ASSERT_FALSE(e);
  ASSERT_EQ(::stat(fresh.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

std::string g_tempSeen;
std::string g_targetDuringInterruption;
std::string g_targetPath;
std::error_code InterruptBeforeReplacing(const std::string& tempPath) {
  g_tempSeen = ReadBytes(tempPath);
  g_targetDuringInterruption = ReadBytes(g_targetPath);
  return std::make_error_code(std::errc::io_error);
}

TEST_F(SaveConfigFailures, SaveInterruptedAfterTheTemporaryFileLeavesTheOldFileComplete) {
  WriteBytes(path, Join(kExampleLines));
  store.Device(1)->Name = "Changed";
  g_targetPath = path;
  EXPECT_EQ(save_config(store, path, InterruptBeforeReplacing),
            std::make_error_code(std::errc::io_error));
  EXPECT_EQ(g_tempSeen, ConfigFileBytes(store)) << "the new file was complete";
  EXPECT_EQ(g_targetDuringInterruption, Join(kExampleLines));
  EXPECT_EQ(ReadBytes(path), Join(kExampleLines));
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"TrailBeam.ini"}) << "temporary file removed";
}

TEST_F(SaveConfigFailures, SystemFailuresCarryErrnoAndLeaveNothingBehind) {
  EXPECT_EQ(save_config(store, dir.File("no/such/folder/TrailBeam.ini")),
            std::error_code(ENOENT, std::system_category()));
  // A folder where the file should be is refused before anything is written.
  const std::string folder = dir.File("Taken.ini");
  std::filesystem::create_directory(folder);
  WriteBytes(folder + "/inside", "x");
  EXPECT_EQ(save_config(store, folder), make_error_code(Errc::not_regular_file));
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"Taken.ini", "TrailBeam.ini"}));
  EXPECT_EQ(ReadBytes(path), "old contents\r\n");
}

TEST_F(SaveConfigFailures, SymbolicLinkStaysALinkAndItsTargetIsSaved) {
  TempDir shared;
  const std::string target = shared.File("shared.ini");
  WriteBytes(target, "old contents\r\n");
  std::filesystem::remove(path);
  std::filesystem::create_symlink(target, path);
  ASSERT_FALSE(save_config(store, path));
  EXPECT_TRUE(std::filesystem::is_symlink(path));
  EXPECT_EQ(ReadBytes(target), Join(kExampleLines));
  // The file replaced is kept beside itself, where its folder is writable.
  EXPECT_EQ(shared.Entries(), (std::vector<std::string>{"shared.ini", "shared.ini.bak"}));
  EXPECT_EQ(ReadBytes(target + ".bak"), "old contents\r\n");
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"TrailBeam.ini"});

  // A read-only target is protected through the link as well.
  ASSERT_EQ(::chmod(target.c_str(), 0444), 0);
  store.Device(1)->Name = "Changed";
  EXPECT_EQ(save_config(store, path), make_error_code(Errc::read_only_file));
  EXPECT_EQ(ReadBytes(target), Join(kExampleLines));

  // A dangling link is reported, not replaced by a file.
  std::filesystem::remove(target);
  EXPECT_EQ(save_config(store, path), std::error_code(ENOENT, std::system_category()));
  EXPECT_TRUE(std::filesystem::is_symlink(path));
}

TEST_F(SaveConfigFailures, OnlyARegularFileIsEverReplaced) {
  // A pipe, directly or behind a link (as a link to /dev/null would be).
  const std::string pipe = dir.File("pipe");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0666), 0);
  std::filesystem::remove(path);
  std::filesystem::create_symlink(pipe, path);
  for (const std::string& target : {pipe, path}) {
    EXPECT_EQ(save_config(store, target), make_error_code(Errc::not_regular_file)) << target;
    EXPECT_TRUE(std::filesystem::is_fifo(pipe));
  }
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"TrailBeam.ini", "pipe"}));
}

// One generation back: the file as it was before the last save that
// changed it, so that a stray Clear saved by Enable TB can be undone.
TEST_F(SaveConfigFailures, TheFileReplacedIsKeptAsOneGenerationBeside) {
  const std::string backup = path + ".bak";
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  ASSERT_FALSE(save_config(store, path));
  EXPECT_EQ(ReadBytes(backup), "old contents\r\n");
  struct stat st {};
  ASSERT_EQ(::stat(backup.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u) << "the backup is as private as the file was";

  RigStore cleared;
  FillWithExample(cleared);
  cleared.ResetCalibration();
  ASSERT_FALSE(save_config(cleared, path));
  EXPECT_EQ(ReadBytes(backup), Join(kExampleLines));
  // Stop TB saves the same bytes again: the calibrated file stays the backup.
  ASSERT_FALSE(save_config(cleared, path));
  EXPECT_EQ(ReadBytes(backup), Join(kExampleLines));
  EXPECT_EQ(ReadBytes(path), ConfigFileBytes(cleared));
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"TrailBeam.ini", "TrailBeam.ini.bak"}));

  // A failed save leaves the backup of the last good one.
  g_targetPath = path;
  EXPECT_TRUE(save_config(store, path, InterruptBeforeReplacing));
  EXPECT_EQ(ReadBytes(path), ConfigFileBytes(cleared));
  EXPECT_EQ(ReadBytes(backup), Join(kExampleLines));
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"TrailBeam.ini", "TrailBeam.ini.bak"}));

  // The first save of a new file has nothing to keep.
  const std::string fresh = dir.File("fresh.ini");
  ASSERT_FALSE(save_config(store, fresh));
  EXPECT_FALSE(std::filesystem::exists(fresh + ".bak"));
}

TEST_F(SaveConfigFailures, ABackupThatCannotBeReplacedRefusesTheSaveBeforeAnyWrite) {
  const std::string backup = path + ".bak";
  TempDir elsewhere;
  const std::string linked = elsewhere.File("kept.txt");
  WriteBytes(linked, "not ours\r\n");
  struct Case {
    const char* what;
    std::function<void()> place;  // puts something at the backup's place
    std::error_code expected;
  };
  const Case cases[] = {
      {"write-protected",
       [&] {
         WriteBytes(backup, "kept\r\n");
         ::chmod(backup.c_str(), 0444);
       },
       make_error_code(Errc::backup_read_only)},
      {"a folder", [&] { std::filesystem::create_directory(backup); },
       make_error_code(Errc::backup_not_regular)},
      {"a pipe", [&] { ::mkfifo(backup.c_str(), 0666); },
       make_error_code(Errc::backup_not_regular)},
      // A link is replaced itself; where it points is never written.
      {"a link", [&] { std::filesystem::create_symlink(linked, backup); }, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    c.place();
    EXPECT_EQ(save_config(store, path), c.expected);
    if (c.expected) {
      EXPECT_EQ(ReadBytes(path), "old contents\r\n");
    } else {
      EXPECT_EQ(ReadBytes(backup), "old contents\r\n");
      EXPECT_FALSE(std::filesystem::is_symlink(backup));
      EXPECT_EQ(ReadBytes(linked), "not ours\r\n");
    }
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"TrailBeam.ini", "TrailBeam.ini.bak"}));
    ::chmod(backup.c_str(), 0644);
    std::filesystem::remove(backup);
    WriteBytes(path, "old contents\r\n");
  }
  EXPECT_EQ(save_config(store, path), std::error_code{});
  EXPECT_EQ(ReadBytes(backup), "old contents\r\n");
}

TEST_F(SaveConfigFailures, SaveNeverChangesTheStore) {
  RigStore before;
  FillWithExample(before);
  ASSERT_FALSE(save_config(store, path));
  EXPECT_EQ(Dump(store), Dump(before));
}

}  // namespace
}  // namespace tb
