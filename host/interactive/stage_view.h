// Top-down picture of the simulated stage: floor, the five marks, every head
// with its beam and spot, the master highlighted, optional traces.
#pragma once

#include <QColor>
#include <QWidget>
#include <optional>
#include <vector>

#include "host/sim/stage_rig.h"

namespace tbhost {

struct StageScene {
  const StageRig* rig = nullptr;
  std::vector<PanTilt> aims;  // by head
  int master = -1;
  int selected = -1;
  // Drawn when not empty: the master's path and, by head, the slaves' traces.
  std::vector<std::vector<FloorPoint>> traces;
  QString caption;
};

QColor HeadColor(int head);

// The floor the drawing spans, in metres: the stage and every head of the rig
// (where it hangs or stands, seen from above), with a margin around them.
struct FloorExtent {
  double xMin, xMax, yMin, yMax;
  double Width() const { return xMax - xMin; }
  double Depth() const { return yMax - yMin; }
};
FloorExtent DrawnExtent(const StageRig& rig);

// Maps stage metres to pixels inside `area`, keeping the aspect ratio, so
// that the stage and every head fit.
class StageMapping {
 public:
  StageMapping(const StageRig& rig, QRectF area);
  QPointF ToPixel(FloorPoint p) const;
  FloorPoint ToFloor(QPointF pixel) const;
  // Where a head is drawn: where it hangs, seen from above.
  QPointF HeadPixel(const MovingHead& head) const;
  double Scale() const { return scale_; }

 private:
  double xMin_, yMax_, scale_;
  QPointF origin_;
};

void PaintStage(QPainter& painter, QRectF area, const StageScene& scene);

class StageView : public QWidget {
  Q_OBJECT

 public:
  explicit StageView(const StageRig& rig, QWidget* parent = nullptr);

  void SetAims(std::vector<PanTilt> aims);
  void SetMaster(int head);
  void SetSelected(int head);
  int Master() const { return scene_.master; }
  int Selected() const { return scene_.selected; }
  // Pixel position of a head's spot in the widget, if it is on the floor.
  std::optional<QPointF> SpotPixel(int head) const;
  QPointF FloorToWidget(FloorPoint p) const;

  QSize sizeHint() const override { return {620, 500}; }
  QSize minimumSizeHint() const override { return {360, 300}; }

 signals:
  void headSelected(int head);
  // The operator dragged a head's spot, or the head, to a point on the stage.
  void aimRequested(int head, tbhost::FloorPoint target);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  StageMapping Mapping() const;
  // Drags aim at the stage: a spot dragged past its edge stays on the edge.
  FloorPoint OnStage(FloorPoint p) const;
  // Whether the pointer has moved far enough from the press to aim.
  bool DragMoved(QPointF at);

  const StageRig& rig_;
  StageScene scene_;
  int dragging_ = -1;
  QPointF pressAt_;
  bool moved_ = false;  // a grabbed spot aims at once, a grabbed head once moved
};

}  // namespace tbhost
