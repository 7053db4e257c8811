#include "ui/message_box.h"

#include <QApplication>
#include <QMessageBox>

#include "ui/window_context.h"

namespace tb::ui {

void QtMessageSink::Show(const std::string& text) {
  QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(kAppTitle), QString::fromStdString(text),
                  QMessageBox::Ok, QApplication::activeWindow());
  box.setWindowModality(Qt::ApplicationModal);
  box.exec();
}

}  // namespace tb::ui
