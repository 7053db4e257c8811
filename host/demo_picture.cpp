#include "host/demo_picture.h"

#include <QImage>
#include <QPainter>
#include <QSaveFile>
#include <utility>
#include <vector>

#include "host/stage_view.h"

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

}  // namespace

bool WriteDemoPicture(const StageRig& rig, const DemoSettings& settings, const DemoOutcome& outcome,
                      QString& error) {
  if (settings.png.isEmpty()) return true;
  StageScene scene;
  scene.rig = &rig;
  scene.master = settings.master;
  scene.traces.assign(rig.heads.size(), {});
  for (const TickSample& sample : outcome.samples) {
    for (std::size_t h = 0; h < rig.heads.size() && h < sample.heads.size(); ++h) {
      const PanTilt aim = static_cast<int>(h) == settings.master ? sample.master : sample.heads[h];
      if (const auto spot = BeamSpot(rig.heads[h], aim)) scene.traces[h].push_back(*spot);
    }
  }
  if (!outcome.samples.empty()) scene.aims = outcome.samples.back().heads;
  // The caption sits above the stage: the title, then one line per slave in
  // its trace's colour.
  const auto& all = outcome.report.bySlave;
  std::vector<std::pair<QString, QColor>> lines;
  lines.emplace_back(
      QString("TrailBeam demo, the stage from above with the audience at the bottom: master %1 "
              "(white path), %2 follow ticks; slaves dashed")
          .arg(QString::fromStdString(rig.heads[static_cast<std::size_t>(settings.master)].name))
          .arg(outcome.samples.size()),
      QColor(0xe0, 0xe0, 0xe0));
  for (std::size_t h = 0; h < all.size(); ++h) {
    if (static_cast<int>(h) == settings.master) continue;
    lines.emplace_back(QString("%1: distance to the master's spot mean %2 m, p95 %3 m, max %4 m")
                           .arg(QString::fromStdString(rig.heads[h].name))
                           .arg(all[h][0].mean, 0, 'f', 2)
                           .arg(all[h][0].p95, 0, 'f', 2)
                           .arg(all[h][0].max, 0, 'f', 2),
                       HeadColor(static_cast<int>(h)));
  }
  constexpr int kLineHeight = 18;
  const int captionHeight = 12 + kLineHeight * static_cast<int>(lines.size());
  QImage image(1000, 960 + captionHeight, QImage::Format_RGB32);
  image.fill(QColor(0x1e, 0x22, 0x28));
  {
    QPainter painter(&image);
    PaintStage(painter, QRectF(0, captionHeight, image.width(), image.height() - captionHeight),
               scene);
    QFont f = painter.font();
    f.setPointSizeF(10);
    painter.setFont(f);
    for (std::size_t i = 0; i < lines.size(); ++i) {
      painter.setPen(lines[i].second);
      painter.drawText(
          QRectF(12, 8 + kLineHeight * static_cast<double>(i), image.width() - 24, kLineHeight),
          Qt::AlignLeft | Qt::AlignVCenter, lines[i].first);
    }
  }
  return SaveImage(image, settings.png, error);
}

bool WriteDemoScreenshot(const DemoSettings& settings, const DemoOutcome& outcome, QString& error) {
  if (settings.screenshot.isEmpty()) return true;
  if (outcome.screenshot.isNull()) {
    error = "no screenshot for " + settings.screenshot +
            (outcome.samples.empty() ? ": the session did not reach follow mode"
                                     : ": the screen could not be grabbed");
    return false;
  }
  return SaveImage(outcome.screenshot, settings.screenshot, error);
}

}  // namespace tbhost
