// The component's message boxes: modal, an OK button only, the
// application title as caption.
#pragma once

#include <string>

#include "follow/follow.h"

namespace tb::ui {

class QtMessageSink final : public MessageSink {
 public:
  void Show(const std::string& text) override;
};

}  // namespace tb::ui
