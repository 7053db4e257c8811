// The whole road of a follow tick through the real TrailBeam.so: the host
// creates the plug-in by its ProgID, hands over a recording helper, opens
// the device setup window through Configure (which loads TrailBeam.ini next
// to the module), shows the main window from ModuleInfo, picks the master,
// presses Enable TB and lets the real 100 ms timer fire.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include "core/temp_dir.h"
#include "host/session/module_info_object.h"
#include "orvn/comrt.h"
#include "orvn/orvntypelib.h"
#include "recording_host.h"

namespace {

using namespace orvn;
using tb::testing::ComCall;
using tb::testing::RecordingHelper;
using tb::testing::TempDir;
namespace fs = std::filesystem;

// Devices 1 and 2 calibrated, device 3 on K2 only, device 4 unused.
const char kSettings[] =
    "TrailBeam.ini\r\nSpot links,1,2\r\n1,60,40\r\n1,60,200\r\n1,220,40\r\n1,220,200\r\n"
    "1,140,120\r\nSpot rechts,17,18\r\n1,30,10\r\n1,31,190\r\n1,200,20\r\n1,210,180\r\n"
    "1,90,70\r\nWash 3,33,35\r\n0,-1,-1\r\n0,96,140\r\n0,-1,-1\r\n0,-1,-1\r\n0,-1,-1\r\n"
    ",0,0\r\n0,-1,-1\r\n0,-1,-1\r\n0,-1,-1\r\n0,-1,-1\r\n0,-1,-1\r\n";

TEST(PluginFollow, ATickThroughTheModuleMakesTheHostCallsInOrder) {
  // A scratch copy of the module, so the settings file is the test's own.
  // The folder goes however the test ends; the loaded copy stays mapped.
  const TempDir scratch;
  const fs::path& dir = scratch.path();
  fs::copy_file(TB_PLUGIN_MODULE, dir / "TrailBeam.so");
  std::ofstream(dir / "TrailBeam.ini", std::ios::binary) << kSettings;
  setenv("ORVNCOM_REGISTRY", (dir / "registry").c_str(), 1);

  void* module = dlopen((dir / "TrailBeam.so").c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(module, nullptr) << dlerror();
  ASSERT_EQ(reinterpret_cast<HRESULT (*)()>(dlsym(module, "DllRegisterServer"))(), S_OK);

  auto* factory = tbhost::HostModuleInfoFactory::Create();
  ULONG cookie = 0;
  ASSERT_EQ(CoRegisterClassObject(CLSID_HostModuleInfo, ProgID_HostModuleInfo, factory, &cookie),
            S_OK);

  CLSID clsid{};
  ASSERT_EQ(CLSIDFromProgID(ProgID_clsORVNPlugIn, &clsid), S_OK);
  IORVNPlugin* plugin = nullptr;
  ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IORVNPlugin,
                             reinterpret_cast<void**>(&plugin)),
            S_OK);
  RecordingHelper host;
  IORVNPluginHelper* helper = &host;
  VARIANT_BOOL ok = 0;
  ASSERT_EQ(plugin->Init(nullptr, nullptr, &helper, &ok), S_OK);
  // The recording helper lives on this stack: the store gives it back
  // however the test ends, so no later tick or exit reaches a dead object.
  struct GiveBack {
    IORVNPlugin* plugin;
    explicit GiveBack(IORVNPlugin* p) : plugin(p) { plugin->AddRef(); }
    ~GiveBack() {
      IORVNPluginHelper* none = nullptr;
      VARIANT_BOOL done = 0;
      plugin->Init(nullptr, nullptr, &none, &done);
      plugin->Release();
    }
  } giveBack(plugin);

  // No message box may appear on this road; one that does is answered and
  // counted, so the test fails instead of hanging.
  int unexpectedDialogs = 0;
  QTimer watchdog;
  QObject::connect(&watchdog, &QTimer::timeout, [&] {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      if (modal->objectName() == "frmTBConfig") {
        QTest::mouseClick(modal->findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
      } else {
        ++unexpectedDialogs;
        modal->close();
      }
    }
  });
  watchdog.start(50);

  ASSERT_EQ(plugin->Configure(&ok), S_OK);
  EXPECT_EQ(ok, VARIANT_TRUE);

  IORVNModule* moduleItf = nullptr;
  ASSERT_EQ(plugin->QueryInterface(IID_IORVNModule, reinterpret_cast<void**>(&moduleItf)), S_OK);
  IHostModuleInfo* info = nullptr;
  ASSERT_EQ(moduleItf->get_ModuleInfo(&info), S_OK);
  IORVNForm* form = nullptr;
  ASSERT_EQ(info->get_MainForm(&form), S_OK);
  ASSERT_EQ(form->Show(), S_OK);
  void* widget = nullptr;
  ASSERT_EQ(form->get_Widget(&widget), S_OK);
  auto* window = static_cast<QWidget*>(widget);

  auto* master = window->findChild<QComboBox*>("ComboMaster");
  auto* enable = window->findChild<QPushButton*>("CmdEnableTB");
  ASSERT_TRUE(master && enable);
  ASSERT_EQ(master->count(), 3);
  // The operator's pick of "Spot links": open the list, click the entry.
  master->showPopup();
  QAbstractItemView* entries = master->view();
  QTest::mouseClick(entries->viewport(), Qt::LeftButton, {},
                    entries->visualRect(entries->model()->index(0, 0)).center());
  ASSERT_EQ(master->currentIndex(), 0);
  QTest::mouseClick(enable, Qt::LeftButton);
  EXPECT_EQ(enable->text(), "Stop TB");

  host.channels[1] = 101;  // the master's pan
  host.channels[2] = 80;   // and tilt: zone K1, slave at (61, 40)
  host.calls.clear();
  QElapsedTimer waited;
  waited.start();
  while (host.calls.size() < 8 && waited.elapsed() < 10000) QTest::qWait(20);
  QTest::mouseClick(enable, Qt::LeftButton);
  EXPECT_EQ(enable->text(), "Enable TB");

  ASSERT_GE(host.calls.size(), 8u);
  const std::vector<ComCall> oneTick = {
      {"ReadChannel", 1, 101, 0},   {"ReadChannel", 2, 80, 0},  {"Output", 0, 0, 0},
      {"WriteChannel", 17, 61, -1}, {"ReleaseOutput", 0, 0, 0}, {"Output", 0, 0, 0},
      {"WriteChannel", 18, 40, -1}, {"ReleaseOutput", 0, 0, 0},
  };
  EXPECT_EQ(std::vector<ComCall>(host.calls.begin(), host.calls.begin() + 8), oneTick);
  EXPECT_EQ(host.outputsAlive, 0);
  EXPECT_EQ(unexpectedDialogs, 0);

  helper = nullptr;
  ASSERT_EQ(plugin->Init(nullptr, nullptr, &helper, &ok), S_OK);
  EXPECT_EQ(host.refs, 0);
  form->Hide();
  form->Release();
  info->Release();
  moduleItf->Release();
  plugin->Release();
  CoRevokeClassObject(cookie);
  factory->Release();
}

}  // namespace
