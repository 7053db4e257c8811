#include "shell/module_state.h"

#include <atomic>

#include "shell/module_info.h"

namespace tb::shell {

namespace {
std::atomic<long> objects{0};
std::atomic<long> locks{0};
}  // namespace

void ObjectCreated() { ++objects; }
void ObjectDestroyed() { --objects; }
void LockServer(bool lock) {
  if (lock) {
    ++locks;
  } else if (locks > 0) {
    --locks;  // an unbalanced unlock must not pin the count below zero
  }
}

bool CanUnload() { return objects == 0 && locks == 0 && !WindowsAlive(); }

}  // namespace tb::shell
