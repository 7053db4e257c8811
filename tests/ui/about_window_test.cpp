// The help window: one at a time, its texts, and the ways to close it.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPointer>
#include <QPushButton>

#include "ui/frm_about.h"
#include "ui_test_support.h"

namespace tb::testing {
namespace {

using ui::frmAbout;

class AboutWindowTest : public ::testing::Test {
 protected:
  void TearDown() override { delete frmAbout::Open(); }
  QWidget owner;
};

TEST_F(AboutWindowTest, ShowsCaptionAndTextsVerbatim) {
  frmAbout* help = frmAbout::ShowHelp(&owner);
  EXPECT_EQ(help->windowTitle(), "Info zu ORVN_TB_plugin2");
  EXPECT_EQ(Control<QLabel>(*help, "lblDescription")->text().toStdString(),
            "Markieren Sie sich 4 Eckpunkte ihrer Bühne und den Mittelpunkt und kalibrieren Sie "
            "jedes gewünschte Moving Light auf diese Punkte. Dazu wird das der Position "
            "entsprechende Textfeld markiert und mit dem Get_Value-Button der Wert eingelesen. "
            "Danach wird das Mastergerät gewählt. Nun sollten alle kalibrierten Geräte den "
            "Masterbewegungen folgen. Leider kann z.Z. die Geräteliste noch nicht importiert "
            "werden, so dass im Konfigurationsmenü die Geräteparameter zu definieren sind.");
  EXPECT_EQ(Control<QLabel>(*help, "lblTitle")->text(), "Orvane Plugin \"Trail Beam\"");
  EXPECT_EQ(Control<QLabel>(*help, "lblVersion")->text(), "Version 0.2 (TrailBeam Team)");
  EXPECT_EQ(Control<QLabel>(*help, "lblDisclaimer")->text(), "");
  EXPECT_EQ(Control<QLabel>(*help, "picIcon")->pixmap().size(), QSize(55, 55));
  EXPECT_FALSE(help->isModal());
  EXPECT_EQ(QApplication::focusWidget() == nullptr ||
                QApplication::focusWidget() == Control<QPushButton>(*help, "cmdOK"),
            true);
}

TEST_F(AboutWindowTest, SecondPressBringsTheOpenWindowForward) {
  frmAbout* first = frmAbout::ShowHelp(&owner);
  first->hide();
  EXPECT_EQ(frmAbout::ShowHelp(&owner), first);
  EXPECT_TRUE(first->isVisible());
}

TEST_F(AboutWindowTest, OKEnterEscapeAndCloseBoxEachCloseAndUnloadIt) {
  const char* ways[] = {"OK", "Enter", "Escape", "close box"};
  for (const char* way : ways) {
    SCOPED_TRACE(way);
    QPointer<frmAbout> help = frmAbout::ShowHelp(&owner);
    ASSERT_NE(help, nullptr);
    const std::string how = way;
    if (how == "OK") Click(Control<QPushButton>(*help, "cmdOK"));
    if (how == "Enter") QTest::keyClick(help.data(), Qt::Key_Return);
    if (how == "Escape") QTest::keyClick(help.data(), Qt::Key_Escape);
    if (how == "close box") help->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(help, nullptr);  // unloaded
    EXPECT_EQ(frmAbout::Open(), nullptr);
  }
  // The next press builds a new one with the same content.
  frmAbout* again = frmAbout::ShowHelp(&owner);
  EXPECT_EQ(again->windowTitle(), "Info zu ORVN_TB_plugin2");
}

}  // namespace
}  // namespace tb::testing
