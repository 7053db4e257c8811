#include "host/interactive/stage_view.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace tbhost {
namespace {

constexpr double kMargin = 0.8;     // metres around the stage and the heads
constexpr double kGrabRadius = 14;  // pixels around a spot that start a drag

// Left and right as the audience sees them, which is how the stage is
// drawn: stage left/right would read the other way round.
void PaintDirections(QPainter& painter, const QRectF& floor) {
  const QRectF inside = floor.adjusted(6, 4, -6, -4);
  painter.drawText(inside, Qt::AlignTop | Qt::AlignHCenter, "upstage");
  painter.drawText(inside, Qt::AlignBottom | Qt::AlignHCenter, "downstage · audience this side");
  for (const bool left : {true, false}) {
    painter.save();
    painter.translate(left ? inside.left() : inside.right(), inside.center().y());
    painter.rotate(left ? -90 : 90);
    painter.drawText(QRectF(-inside.height() / 2, 0, inside.height(), 16),
                     Qt::AlignTop | Qt::AlignHCenter, left ? "house left" : "house right");
    painter.restore();
  }
}

}  // namespace

// One colour for each device the plug-in has; none near the marks' yellow
// or the master's gold.
QColor HeadColor(int head) {
  static const QColor kColors[] = {
      QColor(0x4f, 0xc3, 0xf7), QColor(0x81, 0xc7, 0x84), QColor(0xf0, 0x62, 0x92),
      QColor(0xba, 0x68, 0xc8), QColor(0xff, 0xb7, 0x4d), QColor(0x4d, 0xb6, 0xac),
      QColor(0xe5, 0x73, 0x73), QColor(0xdc, 0xe7, 0x75), QColor(0x79, 0x86, 0xcb),
      QColor(0xa1, 0x88, 0x7f), QColor(0x90, 0xa4, 0xae), QColor(0xff, 0x8a, 0x65),
      QColor(0x95, 0x75, 0xcd), QColor(0x4d, 0xd0, 0xe1), QColor(0xc5, 0xe1, 0xa5),
      QColor(0xf8, 0xbb, 0xd0)};
  return kColors[static_cast<std::size_t>(std::max(head, 0)) % std::size(kColors)];
}

namespace {

// The head's place, pulled in to kDrawnReach beyond the stage's edge.
FloorPoint WithinReach(const StageRig& rig, const MovingHead& head) {
  return {std::clamp(head.x, -kDrawnReach, rig.width + kDrawnReach),
          std::clamp(head.y, -kDrawnReach, rig.depth + kDrawnReach)};
}

}  // namespace

FloorExtent DrawnExtent(const StageRig& rig) {
  FloorExtent e{0, rig.width, 0, rig.depth};
  for (const MovingHead& head : rig.heads) {
    // A head placed nowhere sensible must not blow the drawing up.
    if (!std::isfinite(head.x) || !std::isfinite(head.y)) continue;
    const FloorPoint at = WithinReach(rig, head);
    e.xMin = std::min(e.xMin, at.x);
    e.xMax = std::max(e.xMax, at.x);
    e.yMin = std::min(e.yMin, at.y);
    e.yMax = std::max(e.yMax, at.y);
  }
  return {e.xMin - kMargin, e.xMax + kMargin, e.yMin - kMargin, e.yMax + kMargin};
}

double DistanceFromStage(const StageRig& rig, const MovingHead& head) {
  const double dx = std::max({0.0, -head.x, head.x - rig.width});
  const double dy = std::max({0.0, -head.y, head.y - rig.depth});
  return std::hypot(dx, dy);
}

QString HeadLabel(const StageRig& rig, const MovingHead& head, bool isMaster) {
  QString label = QString::fromStdString(head.name);
  if (isMaster) label += " (master)";
  const FloorPoint at = WithinReach(rig, head);
  if (at.x != head.x || at.y != head.y)
    label += QString(" · %1 m out").arg(DistanceFromStage(rig, head), 0, 'f', 1);
  return label;
}

StageMapping::StageMapping(const StageRig& rig, QRectF area)
    : rig_(rig), extent_(DrawnExtent(rig)) {
  const FloorExtent& e = extent_;
  scale_ = std::max(1e-6, std::min(area.width() / e.Width(), area.height() / e.Depth()));
  const double usedW = e.Width() * scale_;
  const double usedH = e.Depth() * scale_;
  origin_ = {area.left() + (area.width() - usedW) / 2, area.top() + (area.height() - usedH) / 2};
}

QPointF StageMapping::ToPixel(FloorPoint p) const {
  return {origin_.x() + (p.x - extent_.xMin) * scale_, origin_.y() + (extent_.yMax - p.y) * scale_};
}

FloorPoint StageMapping::ToFloor(QPointF pixel) const {
  return {(pixel.x() - origin_.x()) / scale_ + extent_.xMin,
          extent_.yMax - (pixel.y() - origin_.y()) / scale_};
}

namespace {

constexpr double kIconPitch = 22;  // pixels between heads set side by side

// Heads pulled in to one edge would cover each other: they are set side by
// side along it, in the order they hang, the row centred where they were.
void SetSideBySide(std::vector<QPointF>& at, std::vector<std::size_t> row, bool alongX) {
  if (row.size() < 2) return;
  auto along = [alongX](QPointF& p) -> qreal& { return alongX ? p.rx() : p.ry(); };
  std::stable_sort(row.begin(), row.end(),
                   [&](std::size_t a, std::size_t b) { return along(at[a]) < along(at[b]); });
  double before = 0, after = 0;
  for (std::size_t i = 0; i < row.size(); ++i) {
    before += along(at[row[i]]);
    if (i > 0) along(at[row[i]]) = std::max(along(at[row[i]]), along(at[row[i - 1]]) + kIconPitch);
    after += along(at[row[i]]);
  }
  const double shift = (before - after) / static_cast<double>(row.size());
  for (std::size_t h : row) along(at[h]) += shift;
}

}  // namespace

std::vector<QPointF> StageMapping::HeadPixels() const {
  std::vector<QPointF> at;
  // Rows by edge: in front, behind, house left, house right.
  std::vector<std::size_t> rows[4];
  for (std::size_t h = 0; h < rig_.heads.size(); ++h) {
    const MovingHead& head = rig_.heads[h];
    const FloorPoint within = WithinReach(rig_, head);
    at.push_back(ToPixel(within));
    if (within.y != head.y)
      rows[head.y < 0 ? 0 : 1].push_back(h);
    else if (within.x != head.x)
      rows[head.x < 0 ? 2 : 3].push_back(h);
  }
  for (int edge = 0; edge < 4; ++edge) SetSideBySide(at, rows[edge], edge < 2);
  return at;
}

QPointF StageMapping::HeadPixel(const MovingHead& head) const {
  const auto* first = rig_.heads.data();
  if (&head >= first && &head < first + rig_.heads.size())
    return HeadPixels()[static_cast<std::size_t>(&head - first)];
  return ToPixel(WithinReach(rig_, head));
}

namespace {

// Floor with a one-metre grid, its edge and the directions; returns the
// floor's rectangle in pixels.
QRectF PaintFloor(QPainter& painter, const StageMapping& map, const StageRig& rig) {
  const QRectF floor(map.ToPixel({0, rig.depth}), map.ToPixel({rig.width, 0}));
  painter.fillRect(floor, QColor(0x3a, 0x34, 0x2e));
  painter.setPen(QPen(QColor(255, 255, 255, 28), 1));
  for (int x = 1; x < static_cast<int>(rig.width); ++x)
    painter.drawLine(map.ToPixel({double(x), 0}), map.ToPixel({double(x), rig.depth}));
  for (int y = 1; y < static_cast<int>(rig.depth); ++y)
    painter.drawLine(map.ToPixel({0, double(y)}), map.ToPixel({rig.width, double(y)}));
  painter.setPen(QPen(QColor(0xd7, 0xcc, 0xc8), 2));
  painter.drawRect(floor);
  QFont small = painter.font();
  small.setPointSizeF(8);
  painter.setFont(small);
  painter.setPen(QColor(0xa0, 0xa0, 0xa0));
  PaintDirections(painter, floor);
  return floor;
}

// The five marks: taped crosses with their names.
void PaintMarks(QPainter& painter, const StageMapping& map, const StageRig& rig) {
  for (Mark m : kAllMarks) {
    const QPointF p = map.ToPixel(rig.MarkAt(m));
    const double r = std::max(5.0, 0.18 * map.Scale());
    painter.setPen(QPen(QColor(0xff, 0xee, 0x58), 2));
    painter.drawLine(p + QPointF(-r, -r), p + QPointF(r, r));
    painter.drawLine(p + QPointF(-r, r), p + QPointF(r, -r));
    painter.drawText(QRectF(p.x() + r, p.y() - r - 14, 40, 14), Qt::AlignLeft, MarkName(m));
  }
}

void PaintTraces(QPainter& painter, const StageMapping& map, const StageScene& scene) {
  for (std::size_t h = 0; h < scene.traces.size(); ++h) {
    const auto& trace = scene.traces[h];
    if (trace.size() < 2) continue;
    QPainterPath path(map.ToPixel(trace.front()));
    for (std::size_t i = 1; i < trace.size(); ++i) path.lineTo(map.ToPixel(trace[i]));
    const bool isMaster = static_cast<int>(h) == scene.master;
    QColor c = isMaster ? QColor(Qt::white) : HeadColor(static_cast<int>(h));
    c.setAlpha(isMaster ? 230 : 170);
    painter.setPen(QPen(c, isMaster ? 2.5 : 1.5, isMaster ? Qt::SolidLine : Qt::DashLine));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(path);
  }
}

QRectF HeadIcon(QPointF at) { return {at.x() - 9, at.y() - 7, 18, 14}; }

// A head's beam from where it hangs to its spot, the head itself, and the
// spot's glow.
void PaintHead(QPainter& painter, const StageMapping& map, const StageScene& scene, int index) {
  const MovingHead& head = scene.rig->heads[static_cast<std::size_t>(index)];
  const bool isMaster = index == scene.master;
  const QColor color = HeadColor(index);
  const QPointF at = map.HeadPixel(head);
  const auto spot =
      static_cast<std::size_t>(index) < scene.aims.size()
          ? BeamAtHeight(head, scene.aims[static_cast<std::size_t>(index)], scene.height)
          : std::nullopt;
  if (spot) {
    QColor beam = color;
    beam.setAlpha(70);
    painter.setPen(QPen(beam, 2));
    painter.drawLine(at, map.ToPixel(*spot));
  }
  const bool isSelected = index == scene.selected;
  painter.setPen(QPen(isSelected ? QColor(Qt::white) : color.darker(160), isSelected ? 2.5 : 1));
  painter.setBrush(color);
  painter.drawRoundedRect(HeadIcon(at), 3, 3);
  if (!spot) return;
  const QPointF p = map.ToPixel(*spot);
  const double r = std::max(6.0, 0.22 * map.Scale());
  QRadialGradient glow(p, r);
  QColor inner = isMaster ? QColor(255, 255, 240) : color.lighter(130);
  inner.setAlpha(230);
  QColor outer = inner;
  outer.setAlpha(0);
  glow.setColorAt(0, inner);
  glow.setColorAt(1, outer);
  painter.setPen(Qt::NoPen);
  painter.setBrush(glow);
  painter.drawEllipse(p, r, r);
  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(isMaster ? QColor(0xff, 0xd5, 0x4f) : color, isMaster ? 3 : 1.5));
  painter.drawEllipse(p, r * 0.55, r * 0.55);
}

// Each estimate as a hollow head with a dashed line to where the head is
// drawn, the distance beside it, and the legend once at the bottom.
void PaintEstimates(QPainter& painter, const StageMapping& map, const StageScene& scene,
                    QRectF area) {
  if (scene.estimates.empty()) return;
  const QFontMetricsF metrics(painter.font());
  for (const HeadEstimate& e : scene.estimates) {
    if (e.head >= scene.rig->heads.size()) continue;
    const QColor color = HeadColor(static_cast<int>(e.head)).lighter(115);
    const MovingHead& head = scene.rig->heads[e.head];
    // Beside the head as drawn: a head far out is drawn at the edge, and its
    // estimate keeps its offset from it.
    const QPointF real = map.HeadPixel(head);
    const QPointF fit = real + (map.ToPixel(e.place) - map.ToPixel({head.x, head.y}));
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(color, 1, Qt::DashLine));
    painter.drawLine(real, fit);
    painter.setPen(QPen(color, 1.5));
    painter.drawRoundedRect(HeadIcon(fit), 3, 3);
    const QString label = EstimateLabel(e);
    // Right of the hollow head, or left of it where the area ends.
    const double width = metrics.horizontalAdvance(label);
    const double x = fit.x() + 12 + width <= area.right() ? fit.x() + 12 : fit.x() - 12 - width;
    painter.drawText(QPointF(x, fit.y() + metrics.ascent() + 4), label);
  }
  painter.setPen(QColor(0xc0, 0xc0, 0xc0));
  painter.drawText(area.adjusted(8, 6, -8, -6), Qt::AlignBottom | Qt::AlignLeft,
                   QString::fromLatin1(kEstimateLegend));
}

// Each head's name beside it: right, left, below or above, whichever side
// first stays clear of the labels and heads already there and inside the
// area. Heads of one truss hang close together.
void PaintLabels(QPainter& painter, const StageMapping& map, const StageScene& scene, QRectF area) {
  const StageRig& rig = *scene.rig;
  std::vector<QRectF> taken;
  for (const MovingHead& head : rig.heads) taken.push_back(HeadIcon(map.HeadPixel(head)));
  const QFontMetricsF metrics(painter.font());
  for (std::size_t h = 0; h < rig.heads.size(); ++h) {
    const bool isMaster = static_cast<int>(h) == scene.master;
    const QString label = HeadLabel(rig, rig.heads[h], isMaster);
    const QSizeF size(metrics.horizontalAdvance(label) + 4, metrics.height());
    const QRectF icon = HeadIcon(map.HeadPixel(rig.heads[h]));
    const QRectF candidates[] = {
        QRectF(QPointF(icon.right() + 4, icon.center().y() - size.height() / 2), size),
        QRectF(QPointF(icon.left() - 4 - size.width(), icon.center().y() - size.height() / 2),
               size),
        QRectF(QPointF(icon.center().x() - size.width() / 2, icon.bottom() + 2), size),
        QRectF(QPointF(icon.center().x() - size.width() / 2, icon.top() - 2 - size.height()), size),
    };
    const QRectF* chosen = &candidates[0];
    for (const QRectF& c : candidates) {
      const bool clear =
          area.contains(c) && std::none_of(taken.begin(), taken.end(),
                                           [&](const QRectF& t) { return t.intersects(c); });
      if (clear) {
        chosen = &c;
        break;
      }
    }
    taken.push_back(*chosen);
    painter.setPen(isMaster ? QColor(0xff, 0xd5, 0x4f)
                            : HeadColor(static_cast<int>(h)).lighter(120));
    painter.drawText(*chosen, Qt::AlignCenter, label);
  }
}

}  // namespace

void PaintStage(QPainter& painter, QRectF area, const StageScene& scene) {
  if (scene.rig == nullptr) return;
  const StageRig& rig = *scene.rig;
  const StageMapping map(rig, area);
  painter.save();
  // A slave sent far off draws its trace only as far as the area reaches.
  painter.setClipRect(area, Qt::IntersectClip);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.fillRect(area, QColor(0x1e, 0x22, 0x28));
  PaintFloor(painter, map, rig);
  PaintMarks(painter, map, rig);
  PaintTraces(painter, map, scene);
  for (std::size_t h = 0; h < rig.heads.size(); ++h)
    PaintHead(painter, map, scene, static_cast<int>(h));
  PaintLabels(painter, map, scene, area);
  PaintEstimates(painter, map, scene, area);
  if (!scene.caption.isEmpty()) {
    painter.setPen(QColor(0xe0, 0xe0, 0xe0));
    QFont f = painter.font();
    f.setPointSizeF(9);
    painter.setFont(f);
    painter.drawText(area.adjusted(8, 6, -8, -6), Qt::AlignTop | Qt::AlignLeft, scene.caption);
  }
  painter.restore();
}

QString EstimateLabel(const HeadEstimate& estimate) {
  return QString("fit %1 m off").arg(estimate.offBy, 0, 'f', 2);
}

void StageView::SetEstimates(std::vector<HeadEstimate> estimates) {
  scene_.estimates = std::move(estimates);
  update();
}

StageView::StageView(const StageRig& rig, QWidget* parent) : QWidget(parent), rig_(rig) {
  scene_.rig = &rig_;
  scene_.aims.resize(rig_.heads.size());
  setObjectName("stageView");
  setMouseTracking(false);
}

void StageView::SetAims(std::vector<PanTilt> aims) {
  if (aims == scene_.aims) return;
  scene_.aims = std::move(aims);
  update();
}

void StageView::SetMaster(int head) {
  if (scene_.master == head) return;
  scene_.master = head;
  update();
}

void StageView::SetSelected(int head) {
  if (scene_.selected == head) return;
  scene_.selected = head;
  update();
}

StageMapping StageView::Mapping() const { return StageMapping(rig_, QRectF(rect())); }

QPointF StageView::FloorToWidget(FloorPoint p) const { return Mapping().ToPixel(p); }

std::optional<QPointF> StageView::SpotPixel(int head) const {
  if (head < 0 || static_cast<std::size_t>(head) >= rig_.heads.size() ||
      static_cast<std::size_t>(head) >= scene_.aims.size())
    return std::nullopt;
  const auto spot = BeamSpot(rig_.heads[static_cast<std::size_t>(head)],
                             scene_.aims[static_cast<std::size_t>(head)]);
  if (!spot) return std::nullopt;
  return Mapping().ToPixel(*spot);
}

void StageView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  PaintStage(painter, QRectF(rect()), scene_);
}

void StageView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const QPointF at = event->position();
  const StageMapping map = Mapping();
  // The selected head's spot wins where spots overlap; otherwise the
  // nearest spot or head within reach.
  int hit = -1;
  if (const auto spot = SpotPixel(scene_.selected);
      spot && QLineF(at, *spot).length() <= kGrabRadius)
    hit = scene_.selected;
  double best = kGrabRadius;
  for (int h = 0; hit != scene_.selected && h < static_cast<int>(rig_.heads.size()); ++h) {
    double d = QLineF(at, map.HeadPixel(rig_.heads[static_cast<std::size_t>(h)])).length();
    if (const auto spot = SpotPixel(h)) d = std::min(d, QLineF(at, *spot).length());
    if (d <= best) {
      best = d;
      hit = h;
    }
  }
  if (hit < 0) return;
  SetSelected(hit);
  emit headSelected(hit);
  // Grabbing the head itself fetches its beam to the pointer, also one whose
  // spot went off the picture or off the floor; a click on it only selects.
  dragging_ = hit;
  pressAt_ = at;
  const auto spot = SpotPixel(hit);
  moved_ = spot && QLineF(at, *spot).length() <= kGrabRadius;
}

bool StageView::DragMoved(QPointF at) {
  if (!moved_ && QLineF(at, pressAt_).length() >= QApplication::startDragDistance()) moved_ = true;
  return moved_;
}

void StageView::mouseMoveEvent(QMouseEvent* event) {
  if (dragging_ < 0 || !DragMoved(event->position())) return;
  emit aimRequested(dragging_, OnStage(Mapping().ToFloor(event->position())));
}

void StageView::mouseReleaseEvent(QMouseEvent* event) {
  if (dragging_ < 0 || event->button() != Qt::LeftButton) return;
  const int head = dragging_;
  dragging_ = -1;
  if (DragMoved(event->position()))
    emit aimRequested(head, OnStage(Mapping().ToFloor(event->position())));
}

FloorPoint StageView::OnStage(FloorPoint p) const {
  return {std::clamp(p.x, 0.0, rig_.width), std::clamp(p.y, 0.0, rig_.depth)};
}

}  // namespace tbhost
