// Registers a type library file as its owner's installer does, so that the
// tests meet the host's ORVNTypeLib registered before the plug-in:
//   register_typelib <file.tlb>
#include <windows.h>
// After windows.h, which they build on.
#include <oleauto.h>
#include <shellapi.h>

#include <cstdio>

int main() {
  int count = 0;
  wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
  if (args == nullptr || count != 2) {
    std::fprintf(stderr, "usage: register_typelib <file.tlb>\n");
    return 2;
  }
  ITypeLib* library = nullptr;
  const HRESULT hr = LoadTypeLibEx(args[1], REGKIND_REGISTER, &library);
  LocalFree(args);
  if (FAILED(hr)) {
    std::fprintf(stderr, "LoadTypeLibEx failed: 0x%08lx\n", static_cast<unsigned long>(hr));
    return 1;
  }
  library->Release();
  return 0;
}
