#include "host/demo/demo_picture.h"

#include <QImage>
#include <QPainter>
#include <QSaveFile>
#include <algorithm>
#include <utility>
#include <vector>

#include "host/demo/demo_report.h"
#include "host/interactive/stage_view.h"

namespace tbhost {
namespace {

// Through a new file renamed over the old one: never half a picture.
bool SaveImage(const QImage& image, const QString& path, QString& error) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || !image.save(&file, "PNG") || !file.commit()) {
    error = "could not write " + path + ": " + file.errorString();
    return false;
  }
  return true;
}

using CaptionLine = std::pair<QString, QColor>;

constexpr int kLineHeight = 18;
const QColor kText(0xe0, 0xe0, 0xe0);

// The master's path and each slave's trace, the heads where the last tick
// left them.
StageScene SceneOf(const StageRig& rig, const DemoSettings& settings, const DemoOutcome& outcome,
                   const MethodRun& run) {
  const int master = settings.master;
  StageScene scene;
  scene.rig = &rig;
  scene.master = master;
  scene.traces.assign(rig.heads.size(), {});
  for (const TickSample& sample : run.samples) {
    for (std::size_t h = 0; h < rig.heads.size() && h < sample.heads.size(); ++h) {
      const PanTilt aim = static_cast<int>(h) == master ? sample.master : sample.heads[h];
      if (const auto spot = BeamAtHeight(rig.heads[h], aim, settings.height))
        scene.traces[h].push_back(*spot);
    }
  }
  if (!run.samples.empty()) scene.aims = run.samples.back().heads;
  scene.estimates = outcome.stage.heads;
  scene.height = settings.height;
  return scene;
}

QString Figures(const ErrorSummary& s) {
  return QString("mean %1 m, p95 %2 m, max %3 m")
      .arg(s.mean, 0, 'f', 2)
      .arg(s.p95, 0, 'f', 2)
      .arg(s.max, 0, 'f', 2);
}

// The method with all slaves' figures and the ideal ones, then one line per
// slave in its trace's colour.
std::vector<CaptionLine> RunCaption(const StageRig& rig, const DemoSettings& settings,
                                    const MethodRun& run) {
  const int master = settings.master;
  std::vector<CaptionLine> lines;
  lines.emplace_back(QString("%1, %2 ticks, all slaves: %3")
                         .arg(RunText(run, settings))
                         .arg(run.samples.size())
                         .arg(Figures(run.accuracy.error)),
                     kText);
  lines.emplace_back("ideal (each slave aimed exactly, " + IdealResolution(rig, master) +
                         "): " + Figures(run.accuracy.ideal),
                     kText);
  const auto& all = run.report.bySlave;
  for (std::size_t h = 0; h < all.size() && h < rig.heads.size(); ++h) {
    if (static_cast<int>(h) == master) continue;
    lines.emplace_back(
        QString("%1: %2").arg(QString::fromStdString(rig.heads[h].name), Figures(all[h][0])),
        HeadColor(static_cast<int>(h)));
  }
  return lines;
}

void PaintCaption(QPainter& painter, QRectF area, const std::vector<CaptionLine>& lines) {
  QFont f = painter.font();
  f.setPointSizeF(10);
  painter.setFont(f);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    painter.setPen(lines[i].second);
    painter.drawText(QRectF(area.left() + 12, area.top() + kLineHeight * static_cast<double>(i),
                            area.width() - 24, kLineHeight),
                     Qt::AlignLeft | Qt::AlignVCenter, lines[i].first);
  }
}

int CaptionHeight(std::size_t lines) { return kLineHeight * static_cast<int>(lines); }

}  // namespace

bool WriteDemoPicture(const StageRig& rig, const DemoSettings& settings, const DemoOutcome& outcome,
                      QString& error) {
  if (settings.png.isEmpty()) return true;
  const std::vector<CaptionLine> title = {
      {QString("TrailBeam demo, rig \"%1\", the stage from above with the audience at the "
               "bottom: master %2 (white path), slaves dashed%3")
           .arg(QString::fromStdString(rig.name),
                QString::fromStdString(rig.heads[static_cast<std::size_t>(settings.master)].name),
                settings.height > 0 ? ", beams where they pass " + PlaneText(settings.height)
                                    : QString()),
       kText}};
  // One panel per method played, side by side; the drawing keeps the
  // stage's and heads' proportions.
  const std::size_t panels = std::max<std::size_t>(1, outcome.runs.size());
  const int panelWidth = panels > 1 ? 760 : 1000;
  const FloorExtent extent = DrawnExtent(rig);
  const int stageHeight = static_cast<int>(
      std::clamp(panelWidth * extent.Depth() / extent.Width(), 0.6 * panelWidth, 1.8 * panelWidth));
  // Two lines for the method, one per slave.
  const std::size_t captionLines = rig.heads.size() + 1;
  const int top = 8 + CaptionHeight(title.size()) + 4;
  const int captionHeight = CaptionHeight(captionLines) + 8;
  QImage image(panelWidth * static_cast<int>(panels), top + captionHeight + stageHeight,
               QImage::Format_RGB32);
  image.fill(QColor(0x1e, 0x22, 0x28));
  QPainter painter(&image);
  PaintCaption(painter, QRectF(0, 8, image.width(), CaptionHeight(title.size())), title);
  // A session that never reached follow mode still shows its rig.
  const MethodRun none;
  for (std::size_t i = 0; i < panels; ++i) {
    const double left = static_cast<double>(panelWidth) * static_cast<double>(i);
    const MethodRun& run = i < outcome.runs.size() ? outcome.runs[i] : none;
    PaintStage(painter, QRectF(left, top + captionHeight, panelWidth, stageHeight),
               SceneOf(rig, settings, outcome, run));
    if (&run != &none)
      PaintCaption(painter, QRectF(left, top, panelWidth, captionHeight),
                   RunCaption(rig, settings, run));
  }
  painter.end();
  return SaveImage(image, settings.png, error);
}

bool WriteDemoScreenshot(const DemoSettings& settings, const DemoOutcome& outcome, QString& error) {
  if (settings.screenshot.isEmpty()) return true;
  if (outcome.screenshot.isNull()) {
    error = "no screenshot for " + settings.screenshot +
            (outcome.runs.empty() ? ": the session did not reach follow mode"
                                  : ": the screen could not be grabbed");
    return false;
  }
  return SaveImage(outcome.screenshot, settings.screenshot, error);
}

}  // namespace tbhost
