// The host's side of the binary interface: the helper and output objects the
// plug-in calls for DMX, and the module-information class it creates.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "host/session/channel_helper.h"
#include "host/session/module_info_object.h"
#include "orvn/comrt.h"

namespace tbhost {
namespace {

using orvn::HRESULT;

class HelperTest : public testing::Test {
 protected:
  void SetUp() override { helper_ = ChannelHelper::Create(universe_, counts_); }
  void TearDown() override {
    if (helper_ != nullptr) {
      EXPECT_EQ(helper_->Release(), 0u);
    }
  }
  HRESULT Write(std::int32_t channel, std::int32_t value) {
    orvn::IORVNOutput* out = nullptr;
    EXPECT_EQ(helper_->get_Output(&out), orvn::S_OK);
    orvn::VARIANT_BOOL flag = orvn::VARIANT_TRUE;
    const HRESULT hr = out->WriteChannel(&channel, &value, &flag);
    out->Release();
    return hr;
  }

  Universe universe_;
  HostCallCounts counts_;
  ChannelHelper* helper_ = nullptr;
};

TEST_F(HelperTest, ReadsChannels1To512AndFailsEveryOtherNumber) {
  constexpr auto kMin = std::numeric_limits<std::int32_t>::min();
  constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
  ASSERT_TRUE(universe_.Set(1, 11));
  ASSERT_TRUE(universe_.Set(512, 250));
  struct Case {
    std::int32_t channel;
    HRESULT hr;
    std::int32_t value;
  };
  const Case cases[] = {{1, orvn::S_OK, 11},
                        {512, orvn::S_OK, 250},
                        {2, orvn::S_OK, 0},
                        {0, orvn::E_INVALIDARG, -5},
                        {513, orvn::E_INVALIDARG, -5},
                        {-1, orvn::E_INVALIDARG, -5},
                        {kMin, orvn::E_INVALIDARG, -5},
                        {kMax, orvn::E_INVALIDARG, -5}};
  for (const Case& c : cases) {
    std::int32_t channel = c.channel;
    std::int32_t value = -5;
    EXPECT_EQ(helper_->ReadChannel(&channel, &value), c.hr) << c.channel;
    EXPECT_EQ(value, c.value) << c.channel;  // untouched on failure
    EXPECT_EQ(channel, c.channel);           // [in,out], never changed
  }
  std::int32_t channel = 1;
  std::int32_t value = 0;
  EXPECT_EQ(helper_->ReadChannel(nullptr, &value), orvn::E_POINTER);
  EXPECT_EQ(helper_->ReadChannel(&channel, nullptr), orvn::E_POINTER);
  EXPECT_EQ(counts_.reads, 10);
  EXPECT_EQ(counts_.failed, 7);
}

TEST_F(HelperTest, WritesChannels1To512WithBytesOnly) {
  struct Case {
    std::int32_t channel, value;
    HRESULT hr;
  };
  const Case cases[] = {{1, 200, orvn::S_OK},
                        {512, 0, orvn::S_OK},
                        {512, 255, orvn::S_OK},
                        {0, 1, orvn::E_INVALIDARG},
                        {513, 1, orvn::E_INVALIDARG},
                        {-3, 1, orvn::E_INVALIDARG},
                        {5, -1, orvn::E_INVALIDARG},
                        {5, 256, orvn::E_INVALIDARG},
                        {5, std::numeric_limits<std::int32_t>::min(), orvn::E_INVALIDARG}};
  for (const Case& c : cases) {
    std::int32_t before = 0;
    const bool known = universe_.Get(c.channel, before);
    EXPECT_EQ(Write(c.channel, c.value), c.hr) << c.channel << " = " << c.value;
    std::int32_t after = 0;
    if (known) {
      ASSERT_TRUE(universe_.Get(c.channel, after));
      EXPECT_EQ(after, c.hr == orvn::S_OK ? c.value : before);
    }
  }
  orvn::IORVNOutput* out = nullptr;
  ASSERT_EQ(helper_->get_Output(&out), orvn::S_OK);
  std::int32_t channel = 1, value = 1;
  orvn::VARIANT_BOOL flag = orvn::VARIANT_FALSE;
  EXPECT_EQ(out->WriteChannel(nullptr, &value, &flag), orvn::E_POINTER);
  EXPECT_EQ(out->WriteChannel(&channel, nullptr, &flag), orvn::E_POINTER);
  EXPECT_EQ(out->WriteChannel(&channel, &value, nullptr), orvn::E_POINTER);
  // The flag means nothing to this host: false writes as well as true.
  EXPECT_EQ(out->WriteChannel(&channel, &value, &flag), orvn::S_OK);
  EXPECT_EQ(universe_.At(1), 1);
  out->Release();
}

TEST_F(HelperTest, HandsOutAFreshOutputObjectPerCallAndCountsTheLiveOnes) {
  orvn::IORVNOutput* first = nullptr;
  orvn::IORVNOutput* second = nullptr;
  ASSERT_EQ(helper_->get_Output(&first), orvn::S_OK);
  ASSERT_EQ(helper_->get_Output(&second), orvn::S_OK);
  EXPECT_NE(first, second);
  EXPECT_EQ(counts_.outputsFetched, 2);
  EXPECT_EQ(counts_.outputsAlive, 2);
  EXPECT_EQ(first->AddRef(), 2u);
  EXPECT_EQ(first->Release(), 1u);
  EXPECT_EQ(first->Release(), 0u);
  EXPECT_EQ(counts_.outputsAlive, 1);
  EXPECT_EQ(second->Release(), 0u);
  EXPECT_EQ(counts_.outputsAlive, 0);
  EXPECT_EQ(helper_->get_Output(nullptr), orvn::E_POINTER);
}

TEST_F(HelperTest, AnswersOnlyForItsOwnInterfaces) {
  struct Case {
    const orvn::IID* iid;
    bool offered;
  };
  const Case cases[] = {{&orvn::IID_IUnknown, true},
                        {&orvn::IID_IDispatch, true},
                        {&orvn::IID_IORVNPluginHelper, true},
                        {&orvn::IID_IORVNOutput, false},
                        {&orvn::IID_IORVNPlugin, false}};
  for (const Case& c : cases) {
    void* p = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(helper_->QueryInterface(*c.iid, &p), c.offered ? orvn::S_OK : orvn::E_NOINTERFACE);
    if (c.offered) {
      EXPECT_EQ(p, static_cast<orvn::IORVNPluginHelper*>(helper_));
      EXPECT_EQ(helper_->Release(), 1u);  // QueryInterface added exactly one reference
    } else {
      EXPECT_EQ(p, nullptr);
    }
  }
  orvn::UINT count = 9;
  EXPECT_EQ(helper_->GetTypeInfoCount(&count), orvn::S_OK);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(helper_->Invoke(0, orvn::IID_IUnknown, 0, 0, nullptr, nullptr, nullptr, nullptr),
            orvn::E_NOTIMPL);
}

TEST_F(HelperTest, TellsObserversWhatWasRead) {
  std::vector<std::pair<int, int>> heard;
  helper_->SetReadObserver([&](std::int32_t c, std::int32_t v) { heard.emplace_back(c, v); });
  ASSERT_TRUE(universe_.Set(3, 42));
  std::int32_t channel = 3, value = 0;
  helper_->ReadChannel(&channel, &value);
  channel = 600;
  helper_->ReadChannel(&channel, &value);
  ASSERT_EQ(heard.size(), 1u);
  EXPECT_EQ(heard[0], std::make_pair(3, 42));
}

// The log a measurement times the follow ticks by: one line per read, the
// failed ones too (they are reads all the same), in the order they came.
TEST_F(HelperTest, LogsTheTimeAndChannelOfEveryRead) {
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  {
    ReadLog log(ends[1]);  // owns the writing end
    helper_->SetReadLog(&log);
    std::int32_t value = 0;
    for (std::int32_t channel : {3, 4, 600}) helper_->ReadChannel(&channel, &value);
    EXPECT_EQ(helper_->ReadChannel(nullptr, &value), orvn::E_POINTER);
    helper_->SetReadLog(nullptr);
  }
  std::string text;
  char chunk[256];
  for (ssize_t n; (n = read(ends[0], chunk, sizeof chunk)) > 0;)
    text.append(chunk, static_cast<std::size_t>(n));
  close(ends[0]);

  std::istringstream lines(text);
  std::vector<int> channels;
  long long previous = 0, ns = 0;
  int channel = 0;
  while (lines >> ns >> channel) {
    EXPECT_GE(ns, previous);
    previous = ns;
    channels.push_back(channel);
  }
  EXPECT_TRUE(lines.eof()) << text;
  EXPECT_EQ(channels, (std::vector<int>{3, 4, 600}));
  EXPECT_GT(previous, 0);
}

// A form that counts its references, standing in for the plug-in's window.
class CountedForm final : public orvn::IORVNForm {
 public:
  int refs = 1;
  HRESULT ORVN_STDCALL QueryInterface(orvn::REFIID, void**) override { return orvn::E_NOINTERFACE; }
  orvn::ULONG ORVN_STDCALL AddRef() override { return ++refs; }
  orvn::ULONG ORVN_STDCALL Release() override { return --refs; }
  HRESULT ORVN_STDCALL GetTypeInfoCount(orvn::UINT*) override { return orvn::E_NOTIMPL; }
  HRESULT ORVN_STDCALL GetTypeInfo(orvn::UINT, orvn::LCID, orvn::ITypeInfo**) override {
    return orvn::E_NOTIMPL;
  }
  HRESULT ORVN_STDCALL GetIDsOfNames(orvn::REFIID, orvn::OLECHAR**, orvn::UINT, orvn::LCID,
                                     orvn::DISPID*) override {
    return orvn::E_NOTIMPL;
  }
  HRESULT ORVN_STDCALL Invoke(orvn::DISPID, orvn::REFIID, orvn::LCID, orvn::WORD, orvn::DISPPARAMS*,
                              orvn::VARIANT*, orvn::EXCEPINFO*, orvn::UINT*) override {
    return orvn::E_NOTIMPL;
  }
  HRESULT ORVN_STDCALL Show() override { return orvn::S_OK; }
  HRESULT ORVN_STDCALL Hide() override { return orvn::S_OK; }
  HRESULT ORVN_STDCALL get_Caption(orvn::BSTR*) override { return orvn::E_NOTIMPL; }
  HRESULT ORVN_STDCALL get_Visible(orvn::VARIANT_BOOL*) override { return orvn::E_NOTIMPL; }
  HRESULT ORVN_STDCALL get_Widget(void**) override { return orvn::E_NOTIMPL; }
};

std::u16string Take(orvn::BSTR text) {
  std::u16string s(text, orvn::SysStringLen(text));
  orvn::SysFreeString(text);
  return s;
}

TEST(HostModuleInfo, KeepsWhatThePluginPutsAndHandsOutCopies) {
  HostModuleInfo* info = HostModuleInfo::Create();
  ASSERT_NE(info, nullptr);
  orvn::BSTR name = orvn::SysAllocString(u"Trailbeam");
  ASSERT_EQ(info->put_ModuleName(name), orvn::S_OK);
  orvn::SysFreeString(name);  // the caller's text stays the caller's
  orvn::BSTR got = nullptr;
  ASSERT_EQ(info->get_ModuleName(&got), orvn::S_OK);
  EXPECT_EQ(Take(got), u"Trailbeam");
  // A null text is the empty text.
  ASSERT_EQ(info->put_ModuleText(nullptr), orvn::S_OK);
  ASSERT_EQ(info->get_ModuleText(&got), orvn::S_OK);
  EXPECT_EQ(Take(got), u"");
  EXPECT_EQ(info->get_ModuleGuid(nullptr), orvn::E_POINTER);

  EXPECT_EQ(info->put_ModuleFlag3(orvn::VARIANT_TRUE), orvn::S_OK);
  EXPECT_EQ(info->put_ModuleNumber1(2), orvn::S_OK);
  orvn::VARIANT_BOOL flag = 0;
  std::int32_t number = 0;
  EXPECT_EQ(info->get_ModuleFlag3(&flag), orvn::S_OK);
  EXPECT_EQ(flag, orvn::VARIANT_TRUE);
  EXPECT_EQ(info->get_ModuleFlag4(&flag), orvn::S_OK);
  EXPECT_EQ(flag, orvn::VARIANT_FALSE);
  EXPECT_EQ(info->get_ModuleNumber1(&number), orvn::S_OK);
  EXPECT_EQ(number, 2);
  EXPECT_EQ(info->Release(), 0u);
}

TEST(HostModuleInfo, HoldsOneReferenceToItsMainForm) {
  CountedForm a, b;
  HostModuleInfo* info = HostModuleInfo::Create();
  ASSERT_NE(info, nullptr);
  ASSERT_EQ(info->putref_MainForm(&a), orvn::S_OK);
  EXPECT_EQ(a.refs, 2);
  ASSERT_EQ(info->putref_MainForm(&a), orvn::S_OK);  // the same form again
  EXPECT_EQ(a.refs, 2);
  orvn::IORVNForm* got = nullptr;
  ASSERT_EQ(info->get_MainForm(&got), orvn::S_OK);
  EXPECT_EQ(got, &a);
  EXPECT_EQ(a.refs, 3);
  got->Release();
  ASSERT_EQ(info->putref_MainForm(&b), orvn::S_OK);
  EXPECT_EQ(a.refs, 1);
  EXPECT_EQ(b.refs, 2);
  info->Release();
  EXPECT_EQ(b.refs, 1);
}

TEST(HostModuleInfo, ModuleCodesIsOneCollectionCountedFromOne) {
  HostModuleInfo* info = HostModuleInfo::Create();
  ASSERT_NE(info, nullptr);
  orvn::IORVNModuleCodes* codes = nullptr;
  orvn::IORVNModuleCodes* again = nullptr;
  ASSERT_EQ(info->get_ModuleCodes(&codes), orvn::S_OK);
  ASSERT_EQ(info->get_ModuleCodes(&again), orvn::S_OK);
  EXPECT_EQ(codes, again);
  again->Release();
  EXPECT_EQ(codes->Add(3), orvn::S_OK);
  EXPECT_EQ(codes->Add(15), orvn::S_OK);
  info->Release();  // the collection lives on while referenced
  std::int32_t count = 0;
  EXPECT_EQ(codes->get_Count(&count), orvn::S_OK);
  EXPECT_EQ(count, 2);
  struct Case {
    std::int32_t index;
    HRESULT hr;
    std::int32_t item;
  };
  const Case cases[] = {{1, orvn::S_OK, 3},
                        {2, orvn::S_OK, 15},
                        {0, orvn::DISP_E_BADINDEX, -1},
                        {3, orvn::DISP_E_BADINDEX, -1},
                        {std::numeric_limits<std::int32_t>::min(), orvn::DISP_E_BADINDEX, -1}};
  for (const Case& c : cases) {
    std::int32_t item = -1;
    EXPECT_EQ(codes->get_Item(c.index, &item), c.hr) << c.index;
    EXPECT_EQ(item, c.item) << c.index;
  }
  EXPECT_EQ(codes->Release(), 0u);
}

TEST(HostModuleInfo, PluginsCreateItThroughTheRuntimeOnceOffered) {
  HostModuleInfoFactory* factory = HostModuleInfoFactory::Create();
  ASSERT_NE(factory, nullptr);
  void* p = nullptr;
  EXPECT_EQ(factory->CreateInstance(factory, orvn::IID_IHostModuleInfo, &p),
            orvn::CLASS_E_NOAGGREGATION);
  EXPECT_EQ(p, nullptr);

  orvn::ULONG cookie = 0;
  ASSERT_EQ(orvn::CoRegisterClassObject(orvn::CLSID_HostModuleInfo, orvn::ProgID_HostModuleInfo,
                                        factory, &cookie),
            orvn::S_OK);
  orvn::CLSID clsid{};
  ASSERT_EQ(orvn::CLSIDFromProgID(orvn::ProgID_HostModuleInfo, &clsid), orvn::S_OK);
  EXPECT_TRUE(clsid == orvn::CLSID_HostModuleInfo);
  ASSERT_EQ(orvn::CoCreateInstance(clsid, nullptr, orvn::CLSCTX_INPROC_SERVER,
                                   orvn::IID_IHostModuleInfo, &p),
            orvn::S_OK);
  auto* info = static_cast<orvn::IHostModuleInfo*>(p);
  EXPECT_EQ(info->put_ModuleNumber2(7), orvn::S_OK);
  EXPECT_EQ(info->Release(), 0u);
  EXPECT_EQ(orvn::CoRevokeClassObject(cookie), orvn::S_OK);
  EXPECT_EQ(factory->Release(), 0u);  // the runtime let go of it
}

}  // namespace
}  // namespace tbhost
