#include "shell/win/form_object_win.h"

#include <new>
#include <string>

#include "shell/module_state.h"
#include "ui/win32/win32_windows.h"

namespace tb::shell::win {

namespace {
// The object handed out last; cleared when it goes.
FormObject* live = nullptr;

// Nothing may cross the binary interface as an exception.
template <class F>
HRESULT Guarded(F&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_FAIL;
  }
}
}  // namespace

HRESULT FormObject::Get(ui::win32::ComponentWindows& windows, IORVNForm** form) {
  if (form == nullptr) return E_POINTER;
  *form = nullptr;
  return Guarded([&] {
    if (live != nullptr && live->windows_ == &windows) {
      live->AddRef();
    } else {
      live = new FormObject(windows);
    }
    *form = live;
    return S_OK;
  });
}

FormObject::FormObject(ui::win32::ComponentWindows& windows) : windows_(&windows) {
  ObjectCreated();
}

FormObject::~FormObject() {
  if (live == this) live = nullptr;
  ObjectDestroyed();
}

HRESULT FormObject::QueryInterface(REFIID riid, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
      IsEqualIID(riid, IID_IORVNForm)) {
    *ppv = static_cast<IORVNForm*>(this);
    AddRef();
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

ULONG FormObject::AddRef() { return ++refs_; }

ULONG FormObject::Release() {
  const ULONG left = --refs_;
  if (left == 0) delete this;
  return left;
}

HRESULT FormObject::Show() {
  return Guarded([&] {
    windows_->ShowMain();
    return S_OK;
  });
}

HRESULT FormObject::Hide() {
  return Guarded([&] {
    windows_->HideMain();
    return S_OK;
  });
}

HRESULT FormObject::get_Caption(BSTR* caption) {
  if (caption == nullptr) return E_POINTER;
  *caption = nullptr;
  return Guarded([&] {
    const std::u16string title = windows_->MainCaption();
    *caption = ::SysAllocStringLen(reinterpret_cast<const OLECHAR*>(title.data()),
                                   static_cast<UINT>(title.size()));
    return *caption == nullptr ? E_OUTOFMEMORY : S_OK;
  });
}

HRESULT FormObject::get_Visible(VARIANT_BOOL* visible) {
  if (visible == nullptr) return E_POINTER;
  *visible = windows_->MainVisible() ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

HRESULT FormObject::get_Widget(LONG_PTR* widget) {
  if (widget == nullptr) return E_POINTER;
  *widget = 0;
  return Guarded([&] {
    const HWND window = windows_->MainWindow();
    if (window == nullptr) return E_FAIL;
    *widget = reinterpret_cast<LONG_PTR>(window);
    return S_OK;
  });
}

}  // namespace tb::shell::win
