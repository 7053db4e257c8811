#include "shell/form_object.h"

#include "orvn/comrt.h"
#include "shell/module_state.h"
#include "ui/form_tb_main.h"

namespace tb::shell {

using namespace orvn;

namespace {
// The object handed out last; cleared when it goes.
FormObject* live = nullptr;
}  // namespace

HRESULT FormObject::Get(ui::FormTBMain& window, IORVNForm** form) {
  if (form == nullptr) return E_POINTER;
  if (live != nullptr && live->window_ == &window) {
    live->AddRef();
  } else {
    live = new FormObject(window);
  }
  *form = live;
  return S_OK;
}

FormObject::FormObject(ui::FormTBMain& window) : window_(&window) { ObjectCreated(); }

FormObject::~FormObject() {
  if (live == this) live = nullptr;
  ObjectDestroyed();
}

HRESULT FormObject::QueryInterface(REFIID riid, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IORVNForm) {
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
  if (window_ == nullptr) return E_UNEXPECTED;
  window_->show();
  window_->raise();
  window_->activateWindow();
  return S_OK;
}

HRESULT FormObject::Hide() {
  if (window_ == nullptr) return E_UNEXPECTED;
  window_->hide();
  return S_OK;
}

HRESULT FormObject::get_Caption(BSTR* caption) {
  if (caption == nullptr) return E_POINTER;
  *caption = nullptr;
  if (window_ == nullptr) return E_UNEXPECTED;
  const QString title = window_->windowTitle();
  *caption = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(title.utf16()),
                               static_cast<UINT>(title.size()));
  return *caption == nullptr ? E_OUTOFMEMORY : S_OK;
}

HRESULT FormObject::get_Visible(VARIANT_BOOL* visible) {
  if (visible == nullptr) return E_POINTER;
  if (window_ == nullptr) return E_UNEXPECTED;
  *visible = window_->isVisible() ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

HRESULT FormObject::get_Widget(void** widget) {
  if (widget == nullptr) return E_POINTER;
  *widget = window_.data();
  return window_ == nullptr ? E_UNEXPECTED : S_OK;
}

}  // namespace tb::shell
