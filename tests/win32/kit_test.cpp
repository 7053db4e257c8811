// The native windows' small parts: pixels from twips, texts across the
// platform boundary, message boxes, the timer and the keyboard handling.
#include <gtest/gtest.h>
#include <windows.h>

#include <cmath>
#include <limits>

#include "ui/win32/dpi.h"
#include "ui/win32/message_box.h"
#include "ui/win32/text.h"
#include "ui/win32/timer.h"
#include "ui/win32/window.h"
#include "win32/win32_test_support.h"

namespace tb::ui::win32 {
namespace {

using namespace std::chrono_literals;
using tb::testing::MessageBoxAnswerer;

TEST(TwipsToPixels, NearestPixelAtTheScreensResolution) {
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    double twips;
    int dpi;
    int pixels;
  } cases[] = {
      {6600, 96, 440},  {2955, 96, 197},  {1809.811, 96, 121}, {1039.858, 96, 69},
      {7.5, 96, 1},     {7.49, 96, 0},    {-120, 96, -8},      {-7.5, 96, -1},
      {6600, 120, 550}, {2955, 120, 246}, {1215, 144, 122},    {1440, 192, 192},
      {1440, 0, 96},    {1440, -5, 96},   {1440, 100000, 96},  {std::nan(""), 96, 0},
      {inf, 96, 0},     {-inf, 96, 0},    {1e300, 96, 666667}, {-1e300, 96, -666667},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TwipsToPixels(c.twips, c.dpi), c.pixels) << c.twips << " twips at " << c.dpi;
  }
}

TEST(ScreenDpi, IsWhatTheScreenReports) {
  HDC screen = GetDC(nullptr);
  ASSERT_NE(screen, nullptr);
  EXPECT_EQ(ScreenDpi(), GetDeviceCaps(screen, LOGPIXELSX));
  ReleaseDC(nullptr, screen);
}

TEST(Text, CrossesBetweenUtf8AndUtf16) {
  const struct {
    std::string utf8;
    std::wstring wide;
  } cases[] = {
      {"", L""},
      {"Ger\xC3\xA4t", L"Ger\u00E4t"},
      {"Bitte weitere Ger\xC3\xA4te  konfigurieren", L"Bitte weitere Ger\u00E4te  konfigurieren"},
      {"\xF0\x9F\x94\xA6 spot", L"\xD83D\xDD26 spot"},
      {std::string("a\0b", 3), std::wstring(L"a\0b", 3)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Wide(c.utf8), c.wide);
    EXPECT_EQ(Utf8(c.wide), c.utf8);
  }
  // What cannot be converted is replaced, never dropped with its neighbours.
  EXPECT_EQ(Wide("x\xFFy"), L"x\uFFFDy");
  EXPECT_EQ(Utf8(std::wstring(L"x\xD800y")), "x\xEF\xBF\xBDy");
}

TEST(MessageBoxSink, ShowsTheTextWithOnlyOKAndTheComponentsCaptionAndWaits) {
  MessageBoxAnswerer answerer;
  MessageBoxSink().Show("Bitte weitere Ger\xC3\xA4te konfigurieren");
  // Show returned: the box was closed by its OK button.
  ASSERT_EQ(answerer.Seen().size(), 1u);
  const auto& box = answerer.Seen()[0];
  EXPECT_EQ(box.caption, L"ORVN_TB_plugin2");
  EXPECT_EQ(box.text, L"Bitte weitere Ger\u00E4te konfigurieren");
  EXPECT_EQ(box.buttons, std::vector<std::wstring>{L"OK"});
}

// A top-level window of the kit's class with two buttons, for the timer's
// owner and the keyboard tests.
class TestWindow final : public Window {
 public:
  TestWindow() {
    CreateOwnWindow(GetModuleHandleW(nullptr), WS_EX_CONTROLPARENT,
                    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, L"test", Place(10, 10, 300, 200),
                    nullptr);
    first = CreateControl(Handle(), L"BUTTON", L"first", WS_TABSTOP, Place(10, 10, 80, 25), 11,
                          nullptr);
    second = CreateControl(Handle(), L"BUTTON", L"second", WS_TABSTOP, Place(10, 40, 80, 25), 12,
                           nullptr);
    ShowWindow(Handle(), SW_SHOW);
  }
  ~TestWindow() override { Destroy(); }
  HWND first = nullptr;
  HWND second = nullptr;
};

TEST(Timer, TicksOnItsThreadThroughTheMessageLoopAlsoInsideAModalOne) {
  int ticks = 0;
  DWORD thread = 0;
  Timer timer(GetModuleHandleW(nullptr), 100, [&] {
    ++ticks;
    thread = GetCurrentThreadId();
  });
  EXPECT_EQ(timer.Interval(), 100u);
  EXPECT_FALSE(timer.Active());
  tb::testing::PumpFor(250ms);
  EXPECT_EQ(ticks, 0) << "not started";

  timer.Start();
  EXPECT_TRUE(timer.Active());
  // A message box's own loop keeps the ticks coming; it closes after three.
  {
    MessageBoxAnswerer answerer([&] { return ticks >= 3; });
    MessageBoxSink().Show("tick");
    ASSERT_EQ(answerer.Seen().size(), 1u);
  }
  EXPECT_GE(ticks, 3);
  EXPECT_EQ(thread, GetCurrentThreadId());

  timer.Stop();
  EXPECT_FALSE(timer.Active());
  const int stoppedAt = ticks;
  tb::testing::PumpFor(300ms);
  EXPECT_EQ(ticks, stoppedAt);
}

TEST(Timer, ATickThatStopsTheTimerIsTheLast) {
  int ticks = 0;
  Timer* self = nullptr;
  Timer timer(GetModuleHandleW(nullptr), 20, [&] {
    ++ticks;
    self->Stop();
  });
  self = &timer;
  timer.Start();
  tb::testing::PumpFor(300ms);
  EXPECT_EQ(ticks, 1);
}

TEST(KeyboardWindows, TabMovesBetweenControlsOnlyInRegisteredWindows) {
  TestWindow window;
  SetFocus(window.first);
  ASSERT_EQ(GetFocus(), window.first);
  tb::testing::Key(VK_TAB);
  EXPECT_EQ(GetFocus(), window.first) << "not registered: the host's loop knows no Tab";

  AddKeyboardWindow(window.Handle());
  tb::testing::Key(VK_TAB);
  EXPECT_EQ(GetFocus(), window.second);
  tb::testing::Key(VK_TAB, true);
  EXPECT_EQ(GetFocus(), window.first);
  RemoveKeyboardWindow(window.Handle());
  tb::testing::Key(VK_TAB);
  EXPECT_EQ(GetFocus(), window.first);
}

}  // namespace
}  // namespace tb::ui::win32
