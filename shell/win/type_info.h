// Type information of the component's interfaces, read from the type
// libraries embedded in the DLL (resource 1: ORVN_TB_plugin2, resource 2:
// ORVNTypeLib), for calls by name.
#pragma once

#include <oaidl.h>
#include <windows.h>

namespace tb::shell::win {

// One interface's type information and whether it has a member id.
struct InterfaceInfo {
  const IID* iid = nullptr;
  ITypeInfo* info = nullptr;
  bool HasMember(MEMBERID id) const;
};

// The interfaces that objects of this DLL offer by name, loaded on first
// use; null entries when the type libraries cannot be loaded.
const InterfaceInfo* FindInterface(REFIID iid);

// Every interface, in the order in which names are looked up.
struct InterfaceList {
  const InterfaceInfo* begin;
  const InterfaceInfo* end;
};
InterfaceList AllInterfaces();

// Frees what was loaded (the DLL is being unloaded).
void ReleaseTypeInfo();

}  // namespace tb::shell::win
