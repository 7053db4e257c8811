// A reference host in-process on a copy of the real module in a folder of
// the test's own, so that its TrailBeam.ini and its registry are the test's.
#pragma once

#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include "host/interactive/host_window.h"
#include "host/session/plugin_session.h"
#include "host/sim/stage_rig.h"
#include "host/sim/universe.h"
#include "orvn/comrt.h"

namespace tbhost {

class ModuleCopyHost : public testing::Test {
 protected:
  explicit ModuleCopyHost(StageRig rig) : rig_(std::move(rig)) {}

  // Registers and starts the copy, with `settings` as its TrailBeam.ini
  // (none when empty), and shows the host's window.
  void StartHost(const QByteArray& settings = {}) {
    ASSERT_TRUE(dir_.isValid());
    ASSERT_TRUE(QFile::copy(TB_PLUGIN_MODULE, dir_.filePath("TrailBeam.so")));
    if (!settings.isEmpty()) {
      QFile ini(dir_.filePath("TrailBeam.ini"));
      ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
      ASSERT_EQ(ini.write(settings), settings.size());
    }
    qputenv("ORVNCOM_REGISTRY", dir_.filePath("registry").toLocal8Bit());
    ASSERT_TRUE(orvn::SUCCEEDED(session_.OfferHostClasses()));
    ASSERT_TRUE(
        orvn::SUCCEEDED(session_.RegisterModule(dir_.filePath("TrailBeam.so").toStdString())))
        << session_.LastError();
    ASSERT_TRUE(orvn::SUCCEEDED(session_.Start())) << session_.LastError();
    window_.SetSession(&session_);
    window_.resize(1000, 760);
    window_.show();
  }

  QTemporaryDir dir_;
  const StageRig rig_;
  Universe universe_;
  HostCallCounts counts_;
  HostWindow window_{universe_, rig_};
  PluginSession session_{universe_, counts_};
};

}  // namespace tbhost
