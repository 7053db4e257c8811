#include "ui/win32/setup_window.h"

#include <vector>

#include "ui/setup_window_layout.h"
#include "ui/win32/extlv.h"

namespace tb::ui::win32 {

namespace {

struct Disabled {
  DWORD thread;
  HWND keep;
  std::vector<HWND> windows;
};

// The thread's enabled top-level windows, the host's among them.
BOOL CALLBACK DisableOne(HWND hwnd, LPARAM data) {
  auto* disabled = reinterpret_cast<Disabled*>(data);
  if (hwnd != disabled->keep && IsWindowVisible(hwnd) && IsWindowEnabled(hwnd)) {
    EnableWindow(hwnd, FALSE);
    disabled->windows.push_back(hwnd);
  }
  return TRUE;
}

}  // namespace

struct SetupWindow::Views {
  NativeWindow window;
  NativeLabel label;
  NativeList list;
  NativeEdit k1k3;
  NativeEdit k1k2;
  NativeEdit heightChannel;
  NativeEdit followRate;
};

SetupWindow::SetupWindow(WindowContext context, HINSTANCE module) {
  if (!Build(module, SetupWindowLayout(), nullptr)) return;
  ExtLV* list = ListOf("lvConf");
  if (list == nullptr || list->Handle() == nullptr) return;
  list->SetTitleHeightTwips(kListTitleHeight);
  list->SetShownRows(kListShownRows);
  views_.reset(new Views{
      NativeWindow(Handle(), [this] { ShowWindow(Handle(), SW_HIDE); }),
      NativeLabel(Control("lblConf")), NativeList(*this, *list),
      NativeEdit(*this, Control("txtK1K3")), NativeEdit(*this, Control("txtK1K2")),
      NativeEdit(*this, Control("txtHeightChannel")), NativeEdit(*this, Control("txtFollowRate"))});
  logic_ = std::make_unique<SetupWindowLogic>(
      std::move(context),
      SetupWindowControls{views_->window, views_->label, views_->list, views_->k1k3, views_->k1k2,
                          views_->heightChannel, views_->followRate});
  list->OnItemMouse = [this](int, int button, int flag) {
    logic_->lvConf_ItemMouseEvent(button, flag);
  };
  list->OnEditEnd = [this](const std::string& oldText, const std::string& newText) {
    logic_->lvConf_EditEnd(oldText, newText);
  };
}

SetupWindow::~SetupWindow() {
  *alive_ = false;
  Destroy();
}

void SetupWindow::RunModal() {
  if (logic_ == nullptr) return;
  if (IsWindowVisible(Handle())) {
    SetForegroundWindow(Handle());
    return;
  }
  const std::shared_ptr<bool> alive = alive_;
  logic_->Form_Load();
  Disabled disabled{GetCurrentThreadId(), Handle(), {}};
  EnumThreadWindows(disabled.thread, DisableOne, reinterpret_cast<LPARAM>(&disabled));
  ShowActive();
  MSG msg;
  while (*alive && IsWindowVisible(Handle())) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got <= 0) {
      // The thread is ending: leave the quit message to its own loop.
      if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  for (HWND hwnd : disabled.windows)
    if (IsWindow(hwnd)) EnableWindow(hwnd, TRUE);
  if (!*alive) return;
  ShowWindow(Handle(), SW_HIDE);
  logic_->Unload();
}

void SetupWindow::OnCloseBox() {
  if (logic_ != nullptr) logic_->CloseBox();
  ShowWindow(Handle(), SW_HIDE);
}

void SetupWindow::OnControl(const ControlLayout& control, int code) {
  if (logic_ != nullptr && std::string(control.name) == "cmdOK" && code == BN_CLICKED)
    logic_->cmdOK_Click();
}

}  // namespace tb::ui::win32
