// TrailBeam.ini, 25 lines, each ending in CR LF:
//   1       the title "TrailBeam.ini" (ignored on reading)
//   2       device 1: Name,PanChannel,TiltChannel[,PanRange,TiltRange
//           [,PanFineChannel,TiltFineChannel]]
//   3..7    device 1, points K1..K4, KM: flag,Pan,Tilt[,PanFine,TiltFine]
//           (flag "1" when the device is calibrated, else "0"; the same on
//           all five lines)
//   8..25   the same for devices 2 to 4.
//   26..    the extension section, only when it holds something
//           (settings_extension.h): the stage's values, the follow rate
//           and devices 5 to 16.
// Fields are neither quoted nor escaped. Names are stored in Windows-1252,
// the code page of the Windows component that shares these files; the store
// holds them as UTF-8.
//
// PanRange and TiltRange (whole degrees, 1..1080) are written only when a
// device's ranges differ from 540/270, and then both: a rig with the
// default ranges writes the same bytes as before the ranges existed, and a
// reader that ignores the fields after TiltChannel reads any file unchanged.
//
// A device with a fine channel (on either axis) writes its ranges, even
// 540/270, then both fine channels, and each of its point lines carries the
// fine values of pan and tilt after the coarse ones. A device without one
// writes exactly the lines it wrote before fine channels existed.
//
// Reading is lenient where it costs nothing and strict where a guess could
// load wrong values:
//  - LF, CR LF and a lone CR all end a line, so files saved by other editors
//    still load. A last line without an end counts as a line.
//  - Integers are plain decimal with an optional sign and blanks (spaces,
//    tabs) around them. Hexadecimal, fractions, exponents and digit
//    grouping are not numbers here: the writer never produces them, and
//    accepting "1.9" or "0x10" would load a value nobody wrote.
//  - The ranges are taken when both are such numbers in 1..1080, and are
//    540/270 otherwise (also when the line ends after TiltChannel). They
//    never end the reading: a file that an older or foreign writer filled
//    there still loads, only with the default ranges. A device line that
//    ends the reading before its TiltChannel leaves the ranges as they were.
//  - Fine channels and fine values are taken one field at a time; a field
//    that is missing or holds no number gives 0 (no fine channel, fine
//    value 0) and never ends the reading. Fine values are read only for a
//    device with a fine channel and only on lines flagged calibrated, so
//    whatever is read saves back to the same bytes.
//  - A line longer than kMaxLineBytes, or a name longer than kMaxNameBytes,
//    ends the reading like any broken line, so a damaged or hostile file
//    cannot exhaust memory, and every name read can be saved and read back.
//  - Names are Windows-1252, unless the file was saved in UTF-8 by an
//    editor: a byte-order mark, or valid UTF-8 that holds multi-byte
//    sequences. A name that would not save and read back as it is (a
//    UTF-8 letter Windows-1252 lacks, or Windows-1252 bytes that spell
//    UTF-8) ends the reading like a broken line.
//  - The first fault ends the reading of the 25 lines silently; what was
//    assigned stays. The extension after them is read all the same, and
//    none of its lines ends the reading.
#include "rig/settings_file.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

#include "rig/cp1252.h"
#include "rig/device_lines.h"
#include "rig/settings_extension.h"
#include "rig/settings_io.h"

namespace tb {

namespace {

constexpr const char* kLineEnd = "\r\n";
// The title, then a device line and five point lines for devices 1 to 4:
// what every reader of the file knows, however many devices come later.
constexpr int kDescribedLines = 25;

// ---- Reading ---------------------------------------------------------------

// Lines from a byte source: LF, CR LF or a lone CR ends a line. A line
// longer than kMaxLineBytes is consumed whole but not kept.
template <class Source>
class LineReader {
 public:
  enum Status { kLine, kTooLong, kEnd };

  explicit LineReader(Source& source) : source_(source) {}

  Status Read(std::string& line) {
    line.clear();
    bool any = false;
    bool tooLong = false;
    ended_ = false;
    for (;;) {
      const int c = source_.Get();
      if (c < 0) break;
      any = true;
      if (c == '\n') {
        ended_ = true;
        break;
      }
      if (c == '\r') {
        const int next = source_.Get();
        if (next >= 0 && next != '\n') source_.Unget(next);
        ended_ = true;
        break;
      }
      if (line.size() == kMaxLineBytes) tooLong = true;
      if (!tooLong) line += static_cast<char>(c);
    }
    if (!any) return kEnd;
    ++count_;
    if (tooLong) line.clear();
    return tooLong ? kTooLong : kLine;
  }

  // Lines consumed so far, over-long ones included.
  int Count() const { return count_; }
  // Whether the last line read had its line end.
  bool LastEnded() const { return ended_; }

 private:
  Source& source_;
  int count_ = 0;
  bool ended_ = false;
};

// The file's first 25 lines, up to the end of the input or an over-long line.
struct Lines {
  std::vector<std::string> text;
  bool overLong = false;  // the line after the last one is too long
  bool lastEnded = true;  // the last line read had its line end
};

template <class Source>
Lines ReadDescribedLines(LineReader<Source>& reader) {
  Lines lines;
  std::string line;
  while (reader.Count() < kDescribedLines) {
    const auto status = reader.Read(line);
    if (status == LineReader<Source>::kEnd) break;
    if (status == LineReader<Source>::kTooLong) {
      lines.overLong = true;
      break;
    }
    lines.text.push_back(line);
    lines.lastEnded = reader.LastEnded();
  }
  return lines;
}

class ByteSource {
 public:
  explicit ByteSource(std::string_view bytes) : bytes_(bytes) {}
  int Get() {
    if (pos_ >= bytes_.size()) return -1;
    return static_cast<unsigned char>(bytes_[pos_++]);
  }
  void Unget(int) { --pos_; }

 private:
  std::string_view bytes_;
  std::size_t pos_ = 0;
};

class FileSource {
 public:
  explicit FileSource(std::FILE* file) : file_(file) {}
  // A read error ends the input like its end does.
  int Get() {
    const int c = std::getc(file_);
    return c == EOF ? -1 : c;
  }
  void Unget(int c) { std::ungetc(c, file_); }

 private:
  std::FILE* file_;
};

// Each assignment takes effect at once; the first fault ends the reading.
// A last line without its end was cut off: that is the fault to tell when
// the reading stops at it or after it.
std::optional<ConfigReadStop> LoadLines(RigStore& store, const Lines& lines) {
  const std::vector<std::string>& text = lines.text;
  const int count = static_cast<int>(text.size());
  const ConfigReadStop cut{count, "the file ends in the middle of it"};
  const bool utf8 = ReadsAsUtf8(text);
  for (int n = 2; n <= kDescribedLines; ++n) {
    if (n > count) {
      if (!lines.lastEnded) return cut;
      return ConfigReadStop{
          n, lines.overLong ? "it is longer than a line can be" : "the file ends before it"};
    }
    const auto& line = text[static_cast<std::size_t>(n - 1)];
    const int d = (n - 2) / (1 + kPointCount);
    const int p = (n - 2) % (1 + kPointCount) - 1;
    auto why =
        p < 0 ? TakeDeviceLine(store.DeviceTable[d], line, utf8) : TakePointLine(store, d, p, line);
    if (why) return n == count && !lines.lastEnded ? cut : ConfigReadStop{n, *why};
  }
  if (!lines.lastEnded) return cut;
  return std::nullopt;
}

// A fault in the described lines ends only their reading: the extension
// after them is looked for all the same, and no extension line can end it.
template <class Source>
std::optional<ConfigReadStop> Load(RigStore& store, Source& source) {
  using Reader = LineReader<Source>;
  Reader reader(source);
  const Lines lines = ReadDescribedLines(reader);
  const std::optional<ConfigReadStop> stop =
      lines.text.empty() ? ConfigReadStop{1, lines.overLong ? "it is longer than a line can be"
                                                            : "the file is empty"}
                         : LoadLines(store, lines);
  // Made even when the file ends early: the file, not an earlier one,
  // decides the extension's values.
  ExtensionReader extension(store, ReadsAsUtf8(lines.text));
  std::string line;
  while (reader.Count() < kDescribedLines) {
    if (reader.Read(line) == Reader::kEnd) return stop;
  }
  for (;;) {
    const auto status = reader.Read(line);
    if (status == Reader::kEnd) return stop;
    if (status == Reader::kLine) extension.Line(line);
  }
}

}  // namespace

std::string ConfigFileBytes(const RigStore& store) {
  std::string out;
  out.reserve(1024);
  out += kSettingsFileName;
  out += kLineEnd;
  for (int d = 0; d < kDescribedDevices; ++d) {
    AppendDeviceLine(out, store.DeviceTable[d]);
    for (int p = 0; p < kPointCount; ++p) AppendPointLine(out, store, d, p);
  }
  out += ExtensionLines(store);
  return out;
}

std::error_code save_config(const RigStore& store, const std::string& path,
                            SaveInterruption interruption) {
  return ReplaceFileAtomically(path, ConfigFileBytes(store), interruption);
}

std::error_code save_config(const RigStore& store, const std::string& path) {
  return save_config(store, path, nullptr);
}

void ReadConfigFromBytes(RigStore& store, std::string_view bytes) {
  (void)ReadConfigReport(store, bytes);
}

std::optional<ConfigReadStop> ReadConfigReport(RigStore& store, std::string_view bytes) {
  store.ResetCalibration();
  ByteSource source(bytes);
  return Load(store, source);
}

void read_config(RigStore& store, const std::string& path) {
  store.ResetCalibration();
  std::FILE* file = OpenRegularFileForReading(path);
  if (file == nullptr) return;
  FileSource source(file);
  (void)Load(store, source);
  std::fclose(file);
}

bool IsStorableName(const std::string& utf8) {
  std::size_t bytes = 0;
  for (std::size_t pos = 0; pos < utf8.size(); ++bytes) {
    if (bytes == kMaxNameBytes) return false;
    const auto cp = NextCodePoint(utf8, pos);
    if (!cp || !ToCp1252(*cp)) return false;
    if (*cp == ',' || *cp == '\r' || *cp == '\n') return false;
  }
  // Written in Windows-1252, such a name would read back as UTF-8, that is
  // as other letters ("Ã¤" is written as the two bytes that spell "ä").
  return !ReadsAsUtf8({Utf8ToCp1252(utf8)});
}

}  // namespace tb
