// The module description and the configuration entry against an
// in-process HostModuleInfo that records what it is told.
#include "shell/module_info.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>
#include <string>
#include <vector>

#include "orvn/comrt.h"
#include "orvn/dispatchimpl.h"
#include "rig/rig_store.h"
#include "ui/form_tb_main.h"
#include "ui/frm_tb_config.h"

namespace tb::testing {
namespace {

using namespace orvn;

std::string Utf8(BSTR text) {
  return text == nullptr ? "<null>" : QString::fromUtf16(text, SysStringLen(text)).toStdString();
}

// Shared by the recording objects of one test.
struct Record {
  std::vector<std::string> steps;  // "Name=value" in call order
  int failAtStep = 0;              // 1-based; 0 never
  int liveObjects = 0;
  HRESULT failure = E_ACCESSDENIED_FOR_TEST;
  static constexpr HRESULT E_ACCESSDENIED_FOR_TEST = static_cast<HRESULT>(0x80070005u);

  HRESULT Step(const std::string& what) {
    steps.push_back(what);
    return static_cast<int>(steps.size()) == failAtStep ? failure : S_OK;
  }
};

template <class Interface>
class Recorded : public NoLateBinding<Interface> {
 public:
  explicit Recorded(Record& record) : record_(record) { ++record_.liveObjects; }
  virtual ~Recorded() { --record_.liveObjects; }
  HRESULT ORVN_STDCALL QueryInterface(REFIID, void** ppv) override {
    *ppv = this;
    AddRef();
    return S_OK;
  }
  ULONG ORVN_STDCALL AddRef() override { return ++refs_; }
  ULONG ORVN_STDCALL Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

 protected:
  Record& record_;
  ULONG refs_ = 1;
};

class Codes final : public Recorded<IORVNModuleCodes> {
 public:
  using Recorded::Recorded;
  std::vector<std::int32_t> items;
  HRESULT ORVN_STDCALL Add(std::int32_t item) override {
    const HRESULT hr = record_.Step("ModuleCodes.Add=" + std::to_string(item));
    if (SUCCEEDED(hr)) items.push_back(item);
    return hr;
  }
  HRESULT ORVN_STDCALL get_Count(std::int32_t* count) override {
    *count = static_cast<std::int32_t>(items.size());
    return S_OK;
  }
  HRESULT ORVN_STDCALL get_Item(std::int32_t index, std::int32_t* item) override {
    if (index < 1 || index > static_cast<std::int32_t>(items.size())) return DISP_E_BADINDEX;
    *item = items[static_cast<std::size_t>(index - 1)];
    return S_OK;
  }
};

class ModuleInfoObject final : public Recorded<IHostModuleInfo> {
 public:
  explicit ModuleInfoObject(Record& record) : Recorded(record), codes(new Codes(record)) {}
  ~ModuleInfoObject() override {
    codes->Release();
    if (form != nullptr) form->Release();
  }
  Codes* codes;
  IORVNForm* form = nullptr;

#define TEXT_PROPERTY(Name)                                             \
  HRESULT ORVN_STDCALL get_##Name(BSTR*) override { return E_NOTIMPL; } \
  HRESULT ORVN_STDCALL put_##Name(BSTR value) override {                \
    return record_.Step(#Name "=" + Utf8(value));                       \
  }
#define VALUE_PROPERTY(Name, Type)                                      \
  HRESULT ORVN_STDCALL get_##Name(Type*) override { return E_NOTIMPL; } \
  HRESULT ORVN_STDCALL put_##Name(Type value) override {                \
    return record_.Step(#Name "=" + std::to_string(value));             \
  }
  TEXT_PROPERTY(ModuleGuid)
  TEXT_PROPERTY(ModuleName)
  TEXT_PROPERTY(ModuleText)
  TEXT_PROPERTY(ModuleAuthor)
  VALUE_PROPERTY(ModuleFlag1, VARIANT_BOOL)
  VALUE_PROPERTY(ModuleFlag2, VARIANT_BOOL)
  VALUE_PROPERTY(ModuleNumber1, std::int32_t)
  TEXT_PROPERTY(MainFormName)
  VALUE_PROPERTY(ModuleNumber2, std::int32_t)
  VALUE_PROPERTY(ModuleNumber3, std::int32_t)
  VALUE_PROPERTY(ModuleFlag3, VARIANT_BOOL)
  VALUE_PROPERTY(ModuleFlag4, VARIANT_BOOL)
#undef TEXT_PROPERTY
#undef VALUE_PROPERTY

  HRESULT ORVN_STDCALL get_MainForm(IORVNForm** value) override {
    *value = form;
    if (form != nullptr) form->AddRef();
    return S_OK;
  }
  HRESULT ORVN_STDCALL putref_MainForm(IORVNForm* value) override {
    const HRESULT hr = record_.Step("MainForm");
    if (FAILED(hr)) return hr;
    if (value != nullptr) value->AddRef();
    if (form != nullptr) form->Release();
    form = value;
    return S_OK;
  }
  HRESULT ORVN_STDCALL get_ModuleCodes(IORVNModuleCodes** value) override {
    const HRESULT hr = record_.Step("ModuleCodes");
    if (FAILED(hr)) {
      *value = nullptr;
      return hr;
    }
    codes->AddRef();
    *value = codes;
    return S_OK;
  }
};

class Factory final : public IClassFactory {
 public:
  explicit Factory(Record& record) : record_(record) {}
  HRESULT ORVN_STDCALL QueryInterface(REFIID, void** ppv) override {
    *ppv = this;
    return S_OK;
  }
  ULONG ORVN_STDCALL AddRef() override { return 2; }
  ULONG ORVN_STDCALL Release() override { return 1; }
  HRESULT ORVN_STDCALL CreateInstance(IUnknown*, REFIID riid, void** ppv) override {
    if (!(riid == IID_IHostModuleInfo)) return E_NOINTERFACE;
    *ppv = static_cast<IHostModuleInfo*>(new ModuleInfoObject(record_));
    return S_OK;
  }
  HRESULT ORVN_STDCALL LockServer(std::int32_t) override { return S_OK; }

 private:
  Record& record_;
};

class ModuleInfoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(CoRegisterClassObject(CLSID_HostModuleInfo, ProgID_HostModuleInfo, &factory, &cookie),
              S_OK);
  }
  void TearDown() override { CoRevokeClassObject(cookie); }

  Record record;
  Factory factory{record};
  ULONG cookie = 0;
};

const std::vector<std::string> kSteps = {
    "ModuleGuid={6C1F5A2E-93B4-4D7A-8E21-5F0B9C3D7A14}",
    "ModuleName=Trailbeam",
    "ModuleText=",
    "ModuleAuthor=TrailBeam Team",
    "ModuleFlag1=-1",
    "ModuleFlag2=-1",
    "ModuleNumber1=2",
    "MainFormName=FormTBMain",
    "MainForm",
    "ModuleNumber2=0",
    "ModuleNumber3=0",
    "ModuleFlag3=-1",
    "ModuleFlag4=-1",
    "ModuleCodes",
    "ModuleCodes.Add=3",
    "ModuleCodes.Add=15",
};

QWidget* WidgetOf(IHostModuleInfo* info) {
  IORVNForm* form = nullptr;
  EXPECT_EQ(info->get_MainForm(&form), S_OK);
  if (form == nullptr) return nullptr;
  void* widget = nullptr;
  EXPECT_EQ(form->get_Widget(&widget), S_OK);
  form->Release();
  return static_cast<QWidget*>(widget);
}

TEST_F(ModuleInfoTest, FillsANewObjectInOrderWhoseMainFormIsTheOneMainWindow) {
  IHostModuleInfo* first = nullptr;
  IHostModuleInfo* second = nullptr;
  ASSERT_EQ(shell::ModuleInfo(&first), S_OK);
  EXPECT_EQ(record.steps, kSteps);
  ASSERT_EQ(shell::ModuleInfo(&second), S_OK);
  EXPECT_NE(first, second);
  auto* one = static_cast<ModuleInfoObject*>(first);
  EXPECT_EQ(one->codes->items, (std::vector<std::int32_t>{3, 15}));

  QWidget* window = WidgetOf(first);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window, WidgetOf(second));
  EXPECT_EQ(window->objectName(), "FormTBMain");
  EXPECT_NE(qobject_cast<ui::FormTBMain*>(window), nullptr);
  EXPECT_TRUE(shell::WindowsAlive());

  // The form object: caption, visibility, showing and hiding. Two named
  // devices, so that loading the window asks nothing.
  Rig().DeviceTable[0].Name = "A";
  Rig().DeviceTable[1].Name = "B";
  IORVNForm* form = nullptr;
  ASSERT_EQ(first->get_MainForm(&form), S_OK);
  BSTR caption = nullptr;
  ASSERT_EQ(form->get_Caption(&caption), S_OK);
  EXPECT_EQ(Utf8(caption), "TrailBeam Plugin");
  SysFreeString(caption);
  VARIANT_BOOL visible = VARIANT_TRUE;
  EXPECT_EQ(form->get_Visible(&visible), S_OK);
  EXPECT_EQ(visible, VARIANT_FALSE);
  EXPECT_EQ(form->Show(), S_OK);
  EXPECT_EQ(form->get_Visible(&visible), S_OK);
  EXPECT_EQ(visible, VARIANT_TRUE);
  EXPECT_EQ(form->Hide(), S_OK);
  EXPECT_FALSE(window->isVisible());
  form->Release();

  first->Release();
  second->Release();
  EXPECT_EQ(record.liveObjects, 0);
}

TEST_F(ModuleInfoTest, AFailingStepEndsTheCallAndReleasesTheObject) {
  for (int failAt = 1; failAt <= static_cast<int>(kSteps.size()); ++failAt) {
    SCOPED_TRACE(kSteps[static_cast<std::size_t>(failAt - 1)]);
    record.steps.clear();
    record.failAtStep = failAt;
    IHostModuleInfo* info = reinterpret_cast<IHostModuleInfo*>(0x1);
    EXPECT_EQ(shell::ModuleInfo(&info), record.failure);
    EXPECT_EQ(info, nullptr);
    EXPECT_EQ(record.steps, std::vector<std::string>(kSteps.begin(), kSteps.begin() + failAt));
    EXPECT_EQ(record.liveObjects, 0);
  }
}

TEST_F(ModuleInfoTest, WithoutTheHostClassTheCreationFailureIsReturned) {
  CoRevokeClassObject(cookie);
  IHostModuleInfo* probe = nullptr;
  const HRESULT expected = CoCreateInstance(CLSID_HostModuleInfo, nullptr, CLSCTX_INPROC_SERVER,
                                            IID_IHostModuleInfo, reinterpret_cast<void**>(&probe));
  ASSERT_TRUE(FAILED(expected));
  IHostModuleInfo* info = nullptr;
  EXPECT_EQ(shell::ModuleInfo(&info), expected);
  EXPECT_EQ(info, nullptr);
  EXPECT_TRUE(record.steps.empty());
  ASSERT_EQ(CoRegisterClassObject(CLSID_HostModuleInfo, ProgID_HostModuleInfo, &factory, &cookie),
            S_OK);
}

TEST(Configure, ShowsTheOneSetupWindowModallyAndAnswersTrueWhenClosed) {
  std::vector<ui::frmTBConfig*> shown;
  for (int call = 0; call < 2; ++call) {
    bool modal = false;
    QTimer::singleShot(0, [&] {
      for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* config = qobject_cast<ui::frmTBConfig*>(w); config && config->isVisible()) {
          shown.push_back(config);
          modal = config->isModal();
          config->close();  // the close box: nothing saved
        }
    });
    VARIANT_BOOL result = VARIANT_FALSE;
    EXPECT_EQ(shell::Configure(&result), S_OK);
    EXPECT_EQ(result, VARIANT_TRUE);
    EXPECT_TRUE(modal);
  }
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0], shown[1]);
  EXPECT_FALSE(shown[0]->isVisible());
  EXPECT_EQ(shell::Configure(nullptr), E_POINTER);
}

}  // namespace
}  // namespace tb::testing
