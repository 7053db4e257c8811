#include "host/interactive/head_table.h"

#include <QHeaderView>
#include <algorithm>

#include "host/interactive/stage_view.h"

namespace tbhost {
namespace {

const QColor kCalibrated(0x2e, 0x7d, 0x32);
const QColor kIncomplete(0xb2, 0x6a, 0x00);

QTableWidgetItem* Cell(const QString& text) {
  auto* item = new QTableWidgetItem(text);
  item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
  item->setTextAlignment(Qt::AlignCenter);
  return item;
}

}  // namespace

const SavedDevice* DeviceOfHead(const std::vector<SavedDevice>& devices, const MovingHead& head) {
  for (const SavedDevice& d : devices)
    if (d.panChannel == head.panChannel && d.tiltChannel == head.tiltChannel) return &d;
  return nullptr;
}

HeadTable::HeadTable(const StageRig& rig, QWidget* parent)
    : QTableWidget(static_cast<int>(rig.heads.size()), kFirstMarkColumn + 5, parent), rig_(rig) {
  setObjectName("headList");
  QStringList titles = {"Head", "Ch"};
  for (Mark m : kAllMarks) titles << MarkName(m);
  setHorizontalHeaderLabels(titles);
  verticalHeader()->hide();
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  // A rig of many heads on a small screen: the rows scroll rather than push
  // the faders off it.
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
  horizontalHeader()->setMinimumSectionSize(10);
  for (std::size_t h = 0; h < rig_.heads.size(); ++h) {
    const MovingHead& head = rig_.heads[h];
    const int row = static_cast<int>(h);
    auto* name = Cell(QString::fromStdString(head.name));
    name->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    name->setForeground(HeadColor(row).darker(130));
    setItem(row, 0, name);
    setItem(row, 1, Cell(QString("%1/%2").arg(head.panChannel).arg(head.tiltChannel)));
    ShowHead(row, nullptr);
  }
  horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
  for (int c = 1; c < columnCount(); ++c)
    horizontalHeader()->setSectionResizeMode(c, QHeaderView::ResizeToContents);
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
  // The marks show once a saved file has been looked at.
  for (Mark m : kAllMarks) setColumnHidden(kFirstMarkColumn + static_cast<int>(m), true);
}

int HeadTable::HeightFor(int rows) const {
  return horizontalHeader()->sizeHint().height() + verticalHeader()->defaultSectionSize() * rows +
         2 * frameWidth();
}

QSize HeadTable::sizeHint() const {
  return {QTableWidget::sizeHint().width(), HeightFor(rowCount())};
}

QSize HeadTable::minimumSizeHint() const {
  return {QTableWidget::minimumSizeHint().width(), HeightFor(std::min(rowCount(), kRowsAtLeast))};
}

void HeadTable::ShowSaved(const std::vector<SavedDevice>& devices) {
  for (Mark m : kAllMarks) setColumnHidden(kFirstMarkColumn + static_cast<int>(m), false);
  for (std::size_t h = 0; h < rig_.heads.size(); ++h)
    ShowHead(static_cast<int>(h), DeviceOfHead(devices, rig_.heads[h]));
}

void HeadTable::ShowHead(int row, const SavedDevice* device) {
  const MovingHead& head = rig_.heads[static_cast<std::size_t>(row)];
  for (Mark m : kAllMarks) {
    const int column = kFirstMarkColumn + static_cast<int>(m);
    QTableWidgetItem* cell = item(row, column);
    if (cell == nullptr) {
      cell = Cell({});
      setItem(row, column, cell);
    }
    QString text = "–";
    QString tip = QString("No device on channels %1/%2 in TrailBeam.ini")
                      .arg(head.panChannel)
                      .arg(head.tiltChannel);
    QBrush back;
    if (device != nullptr) {
      const QString name = QString::fromLatin1(device->name.c_str());
      const bool taken = device->taken[static_cast<std::size_t>(m)];
      if (!taken) {
        text = "·";
        tip = QString("%1: %2 not taken").arg(name, MarkName(m));
      } else if (device->flagged) {
        text = "✓";
        tip = QString("%1: %2 calibrated").arg(name, MarkName(m));
        back = kCalibrated;
      } else {
        text = "(✓)";
        tip = QString(
                  "%1: %2 taken, but the device is not calibrated on every mark: the "
                  "plug-in drops it when the device setup opens")
                  .arg(name, MarkName(m));
        back = kIncomplete;
      }
    }
    cell->setText(text);
    cell->setToolTip(tip);
    cell->setBackground(back);
    cell->setForeground(back.style() == Qt::NoBrush ? QBrush() : QBrush(Qt::white));
  }
}

QString HeadTable::MarkText(int head, Mark mark) const {
  const QTableWidgetItem* cell = item(head, kFirstMarkColumn + static_cast<int>(mark));
  return cell != nullptr ? cell->text() : QString();
}

}  // namespace tbhost
