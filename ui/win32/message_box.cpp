#include "ui/win32/message_box.h"

#include <windows.h>

#include "ui/win32/text.h"
#include "ui/window_context.h"

namespace tb::ui::win32 {

void MessageBoxes::Show(const std::string& text) {
  // Owned by the active window, so that it stays in front of it; task-modal,
  // so that no other window of the thread takes input meanwhile.
  MessageBoxW(GetActiveWindow(), Wide(text).c_str(), Wide(kAppTitle).c_str(),
              MB_OK | MB_TASKMODAL | MB_SETFOREGROUND);
}

tb::MessageSink& MessageBoxSink() {
  static MessageBoxes sink;
  return sink;
}

}  // namespace tb::ui::win32
