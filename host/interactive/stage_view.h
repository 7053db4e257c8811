// Top-down picture of the simulated stage: floor, the five marks, every head
// with its beam and spot, the master highlighted, optional traces.
#pragma once

#include <QColor>
#include <QString>
#include <QWidget>
#include <optional>
#include <vector>

#include "host/sim/stage_estimate.h"
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
  // Where the stage fit puts each head: drawn hollow beside the head, with
  // the distance between them, and labelled as the fit's estimate.
  std::vector<HeadEstimate> estimates;
  // Beams end where they pass this height (metres; 0: their spots on the
  // floor).
  double height = 0;
};

// The legend of the estimates, as the stage shows it.
inline constexpr const char* kEstimateLegend =
    "hollow: where the stage fit puts each head (its estimate, not a measurement)";
// The label beside an estimated head: "fit 0.42 m off".
QString EstimateLabel(const HeadEstimate& estimate);

QColor HeadColor(int head);

// The floor the drawing spans, in metres: the stage and the heads near it
// (where they hang or stand, seen from above), with a margin around them.
// Heads farther out than kDrawnReach would shrink the stage to a corner of
// the view; they are drawn at the drawing's edge instead, with their distance.
struct FloorExtent {
  double xMin, xMax, yMin, yMax;
  double Width() const { return xMax - xMin; }
  double Depth() const { return yMax - yMin; }
};
inline constexpr double kDrawnReach = 1.5;  // metres beyond the stage's edge
FloorExtent DrawnExtent(const StageRig& rig);

// How far a head is from the stage's edge, seen from above; 0 over the stage.
double DistanceFromStage(const StageRig& rig, const MovingHead& head);
// The head's name as the stage shows it: "(master)" behind it, and for a head
// drawn at the edge its true distance, "FOH R · 8.0 m out".
QString HeadLabel(const StageRig& rig, const MovingHead& head, bool isMaster);

// Maps stage metres to pixels inside `area`, keeping the aspect ratio, so
// that the stage and every head fit.
class StageMapping {
 public:
  StageMapping(const StageRig& rig, QRectF area);
  QPointF ToPixel(FloorPoint p) const;
  FloorPoint ToFloor(QPointF pixel) const;
  // Where a head is drawn: where it hangs, seen from above, or for a head
  // beyond kDrawnReach the nearest point of the drawing's edge.
  // Heads at one edge are set side by side along it, so that none covers
  // another.
  QPointF HeadPixel(const MovingHead& head) const;
  // HeadPixel of every head of the rig, by head.
  std::vector<QPointF> HeadPixels() const;
  double Scale() const { return scale_; }

 private:
  const StageRig& rig_;
  FloorExtent extent_;
  double scale_;
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
  void SetEstimates(std::vector<HeadEstimate> estimates);
  const std::vector<HeadEstimate>& Estimates() const { return scene_.estimates; }
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
