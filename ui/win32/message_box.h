// The component's message boxes on the platform's own: modal for the
// thread's windows, an OK button only, the application title as caption.
#pragma once

#include <string>

#include "follow/follow.h"

namespace tb::ui::win32 {

class MessageBoxes final : public MessageSink {
 public:
  void Show(const std::string& text) override;
};

tb::MessageSink& MessageBoxSink();

}  // namespace tb::ui::win32
