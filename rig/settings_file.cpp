// TrailBeam.ini, 25 lines, each ending in CR LF:
//   1       the title "TrailBeam.ini" (ignored on reading)
//   2       device 1: Name,PanChannel,TiltChannel[,PanRange,TiltRange
//           [,PanFineChannel,TiltFineChannel]]
//   3..7    device 1, points K1..K4, KM: flag,Pan,Tilt[,PanFine,TiltFine]
//           (flag "1" when the device is calibrated, else "0"; the same on
//           all five lines)
//   8..25   the same for devices 2 to 4.
//   26..    the extension section, only when it holds something
//           (settings_extension.h).
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

#include "rig/settings_extension.h"
#include "rig/settings_io.h"

namespace tb {

namespace {

constexpr const char* kLineEnd = "\r\n";
// The title, then a device line and five point lines for devices 1 to 4:
// what every reader of the file knows, however many devices come later.
constexpr int kDescribedLines = 25;

// ---- Windows-1252 <-> UTF-8 ----------------------------------------------

// 0x80..0x9F. The five bytes that Windows-1252 leaves undefined map to the
// C1 controls of the same number, as Windows itself does, so that every
// byte reads and writes back unchanged.
constexpr std::array<char32_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

std::string Cp1252ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    AppendUtf8(out, b >= 0x80 && b <= 0x9F ? kCp1252High[b - 0x80] : char32_t{b});
  }
  return out;
}

// The Windows-1252 byte of a code point, if it has one.
std::optional<unsigned char> ToCp1252(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<unsigned char>(cp);
  for (std::size_t i = 0; i < kCp1252High.size(); ++i) {
    if (kCp1252High[i] == cp) return static_cast<unsigned char>(0x80 + i);
  }
  return std::nullopt;
}

// Decodes one UTF-8 sequence at `pos`. Returns nullopt for a malformed,
// overlong or surrogate sequence; `pos` then moves past one byte only.
std::optional<char32_t> NextCodePoint(std::string_view s, std::size_t& pos) {
  const auto lead = static_cast<unsigned char>(s[pos]);
  int length = 0;
  char32_t cp = 0;
  char32_t minimum = 0;
  if (lead < 0x80) {
    ++pos;
    return lead;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2, cp = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, cp = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, cp = lead & 0x07, minimum = 0x10000;
  } else {
    ++pos;
    return std::nullopt;
  }
  if (s.size() - pos < static_cast<std::size_t>(length)) {
    ++pos;
    return std::nullopt;
  }
  for (int i = 1; i < length; ++i) {
    const auto b = static_cast<unsigned char>(s[pos + i]);
    if ((b & 0xC0) != 0x80) {
      ++pos;
      return std::nullopt;
    }
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++pos;
    return std::nullopt;
  }
  pos += length;
  return cp;
}

// A character that Windows-1252 cannot hold is written as one '?', as the
// Windows component's own conversion does; a malformed UTF-8 byte likewise.
// The setup window refuses such names (IsStorableName), so this only
// guards against callers that skipped that test.
std::string Utf8ToCp1252(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t pos = 0; pos < utf8.size();) {
    const auto cp = NextCodePoint(utf8, pos);
    const auto byte = cp ? ToCp1252(*cp) : std::nullopt;
    out += byte ? static_cast<char>(*byte) : '?';
  }
  return out;
}

// ---- Writing ---------------------------------------------------------------

void AppendFields(std::string& out, std::int32_t a, std::int32_t b) {
  out += ',';
  out += std::to_string(a);
  out += ',';
  out += std::to_string(b);
}

// The ranges follow the channels only when they are not 540/270 or when
// fine channels come after them. A range outside 1..1080 (which the store
// should never hold) is written as the nearest one the reader takes, so
// that it reads back as written.
void AppendDeviceLine(std::string& out, std::string_view name, const DeviceRecord& device) {
  const std::int32_t pan = std::clamp(device.PanRange, kMinRange, kMaxRange);
  const std::int32_t tilt = std::clamp(device.TiltRange, kMinRange, kMaxRange);
  const bool fine = HasFineChannels(device);
  out.append(name);
  AppendFields(out, device.PanChannel, device.TiltChannel);
  if (fine || pan != kDefaultPanRange || tilt != kDefaultTiltRange) AppendFields(out, pan, tilt);
  if (fine) AppendFields(out, device.PanFineChannel, device.TiltFineChannel);
  out += kLineEnd;
}

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

// An editor that saved the file in UTF-8 left a byte-order mark, or at
// least multi-byte sequences and nothing that is not UTF-8. Windows-1252
// text of real names practically never passes for UTF-8: a letter with an
// accent there is a lone byte above 0x7F.
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool ReadsAsUtf8(const std::vector<std::string>& lines) {
  if (lines.empty()) return false;
  if (std::string_view(lines.front()).starts_with(kUtf8Bom)) return true;
  bool multiByte = false;
  for (const std::string& line : lines) {
    for (std::size_t pos = 0; pos < line.size();) {
      const std::size_t start = pos;
      if (!NextCodePoint(line, pos)) return false;
      multiByte = multiByte || pos - start > 1;
    }
  }
  return multiByte;
}

// Up to seven fields of a line split at every comma; an empty line has
// none, a line without commas has one. Fields after the seventh are ignored.
struct Fields {
  std::array<std::string_view, 7> field{};
  std::size_t count = 0;
};

Fields Split(std::string_view line) {
  Fields f;
  if (line.empty()) return f;
  for (;;) {
    const auto comma = line.find(',');
    if (f.count < f.field.size()) f.field[f.count] = line.substr(0, comma);
    ++f.count;
    if (comma == std::string_view::npos || f.count == f.field.size()) break;
    line.remove_prefix(comma + 1);
  }
  return f;
}

struct Number {
  enum Kind { Invalid, InRange, OutOfRange } kind = Invalid;
  std::int32_t value = 0;
};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

Number ParseNumber(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return {};
  // Saturates just past the int32 range, so any number of digits is safe.
  constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 2;
  std::int64_t magnitude = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return {};
    if (magnitude < kLimit) magnitude = magnitude * 10 + (c - '0');
  }
  const std::int64_t value = negative ? -magnitude : magnitude;
  if (value < std::numeric_limits<std::int32_t>::min() ||
      value > std::numeric_limits<std::int32_t>::max()) {
    return {Number::OutOfRange, 0};
  }
  return {Number::InRange, static_cast<std::int32_t>(value)};
}

std::optional<std::int32_t> ParseInt32(std::string_view text) {
  const Number n = ParseNumber(text);
  if (n.kind != Number::InRange) return std::nullopt;
  return n.value;
}

bool IsRange(const std::optional<std::int32_t>& value) {
  return value && *value >= kMinRange && *value <= kMaxRange;
}

// Fields 3 and 4 of a device line; the defaults unless both are ranges.
void TakeRanges(DeviceRecord& device, const Fields& f) {
  const auto pan = f.count >= 5 ? ParseInt32(f.field[3]) : std::nullopt;
  const auto tilt = f.count >= 5 ? ParseInt32(f.field[4]) : std::nullopt;
  const bool both = IsRange(pan) && IsRange(tilt);
  device.PanRange = both ? *pan : kDefaultPanRange;
  device.TiltRange = both ? *tilt : kDefaultTiltRange;
}

// An optional field: its number, or 0 when it is missing or broken.
std::int32_t OptionalField(const Fields& f, std::size_t index) {
  if (f.count <= index) return 0;
  return ParseInt32(f.field[index]).value_or(0);
}

// Field `index` as a whole number into `target`; the reason why not.
std::optional<std::string> TakeNumber(const Fields& f, std::size_t index, const char* what,
                                      std::int32_t& target) {
  if (f.count <= index) return std::string("it has no ") + what;
  const auto value = ParseInt32(f.field[index]);
  if (!value) return std::string("its ") + what + " is no whole number";
  target = *value;
  return std::nullopt;
}

// A name as stored: Windows-1252, or UTF-8 where the file was saved so.
// Only a name that saving and reading back keeps is taken.
std::optional<std::string> TakeName(std::string_view field, bool utf8, std::string& name) {
  if (field.size() > kMaxNameBytes) return std::string("its name is too long");
  std::string text = utf8 ? std::string(field) : Cp1252ToUtf8(field);
  if (!IsStorableName(text)) return std::string("its name cannot be saved as it stands");
  name = std::move(text);
  return std::nullopt;
}

std::optional<std::string> TakeDeviceLine(RigStore& store, int d, std::string_view line,
                                          bool utf8) {
  DeviceRecord& device = store.DeviceTable[d];
  const Fields f = Split(line);
  if (f.count < 1) return std::string("it is empty");
  if (auto why = TakeName(f.field[0], utf8, device.Name)) return why;
  if (auto why = TakeNumber(f, 1, "pan channel", device.PanChannel)) return why;
  if (auto why = TakeNumber(f, 2, "tilt channel", device.TiltChannel)) return why;
  TakeRanges(device, f);
  device.PanFineChannel = OptionalField(f, 5);
  device.TiltFineChannel = OptionalField(f, 6);
  return std::nullopt;
}

std::optional<std::string> TakePointLine(RigStore& store, int d, int p, std::string_view line) {
  const Fields f = Split(line);
  if (f.count < 1) return std::string("it is empty");
  const Number flag = ParseNumber(f.field[0]);
  if (flag.kind == Number::Invalid) return std::string("its calibrated flag is no number");
  if (flag.kind != Number::InRange || flag.value != 1) return std::nullopt;
  store.DeviceCalibrated[d] = VTrue;
  if (auto why = TakeNumber(f, 1, "pan value", store.PanCalibration[d][p])) return why;
  if (auto why = TakeNumber(f, 2, "tilt value", store.TiltCalibration[d][p])) return why;
  if (HasFineChannels(store.DeviceTable[d])) {
    store.PanFineCalibration[d][p] = OptionalField(f, 3);
    store.TiltFineCalibration[d][p] = OptionalField(f, 4);
  }
  return std::nullopt;
}

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
    auto why = p < 0 ? TakeDeviceLine(store, d, line, utf8) : TakePointLine(store, d, p, line);
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
  ExtensionReader extension(store);
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
  for (int d = 0; d < kDeviceCount; ++d) {
    const DeviceRecord& device = store.DeviceTable[d];
    AppendDeviceLine(out, Utf8ToCp1252(device.Name), device);
    const std::string_view flag = store.DeviceCalibrated[d] != VFalse ? "1" : "0";
    for (int p = 0; p < kPointCount; ++p) {
      out.append(flag);
      AppendFields(out, store.PanCalibration[d][p], store.TiltCalibration[d][p]);
      if (HasFineChannels(device)) {
        AppendFields(out, store.PanFineCalibration[d][p], store.TiltFineCalibration[d][p]);
      }
      out += kLineEnd;
    }
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
