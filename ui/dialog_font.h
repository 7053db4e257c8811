// The windows' font: the classic 8.25 point dialog font where the desktop
// has one, otherwise the desktop's sans serif at that size, so that the
// texts fit the fixed layouts.
#pragma once

#include <QFont>
#include <QStringList>

namespace tb::ui {

inline QFont DialogFont() {
  QFont font;
  font.setFamilies({QStringLiteral("MS Shell Dlg 2"), QStringLiteral("Tahoma"),
                    QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("Sans Serif")});
  font.setPointSizeF(8.25);
  return font;
}

}  // namespace tb::ui
