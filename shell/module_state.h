// Counts what keeps the module loaded: live COM objects and server locks.
#pragma once

namespace tb::shell {

void ObjectCreated();
void ObjectDestroyed();
void LockServer(bool lock);

// No object, no lock and no window of the component alive.
bool CanUnload();

}  // namespace tb::shell
