// The follow timer's handler for every method.
#include "follow/follow_methods.h"

namespace tb {

void FollowEngine::Start() { trigonometric_.Forget(); }

std::error_code FollowEngine::OnTimer(RigStore& store) {
  switch (store.FollowMethod) {
    case kFollowLinear:
      // The slaves leave the trigonometric step's solutions: its next tick
      // must not measure against where they were.
      trigonometric_.Forget();
      return FollowTick(store);
    case kFollowDistance:
      trigonometric_.Forget();
      return DistanceTick(store);
    case kFollowTrigonometric:
      return trigonometric_.Tick(store);
    default:
      return {};
  }
}

}  // namespace tb
