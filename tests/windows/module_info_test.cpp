// ModuleInfo through the COM runtime: the plug-in creates the host's
// HostModuleInfo (offered here with CoRegisterClassObject, as a host does)
// and fills it in the host's order.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "orvn/orvntypelib.h"
#include "windows/host_module_info.h"

namespace {

using namespace tb::testing;

class ComApartment : public ::testing::Environment {
 public:
  void SetUp() override { ASSERT_EQ(::CoInitialize(nullptr), S_OK); }
  void TearDown() override { ::CoUninitialize(); }
};
const auto* const kApartment = ::testing::AddGlobalTestEnvironment(new ComApartment);

TEST(ModuleInfo, FillsTheHostsObjectInItsOrder) {
  HostModuleInfoFactory factory;
  DWORD cookie = 0;
  ASSERT_EQ(::CoRegisterClassObject(CLSID_HostModuleInfo, &factory, CLSCTX_INPROC_SERVER,
                                    REGCLS_MULTIPLEUSE, &cookie),
            S_OK);
  IORVNModule* module = nullptr;
  ASSERT_EQ(::CoCreateInstance(orvn::CLSID_clsORVNPlugIn, nullptr, CLSCTX_INPROC_SERVER,
                               IID_IORVNModule, reinterpret_cast<void**>(&module)),
            S_OK);
  IHostModuleInfo* info = nullptr;
  const HRESULT hr = module->get_ModuleInfo(&info);

  ASSERT_EQ(hr, S_OK);
  const std::vector<std::string> expected = {
      "ModuleGuid \"{6C1F5A2E-93B4-4D7A-8E21-5F0B9C3D7A14}\"",
      "ModuleName \"Trailbeam\"",
      "ModuleText \"\"",
      "ModuleAuthor \"TrailBeam Team\"",
      "ModuleFlag1 -1",
      "ModuleFlag2 -1",
      "ModuleNumber1 2",
      "MainFormName \"FormTBMain\"",
      "MainForm",
      "ModuleNumber2 0",
      "ModuleNumber3 0",
      "ModuleFlag3 -1",
      "ModuleFlag4 -1",
      "ModuleCodes",
      "ModuleCodes.Add 3",
      "ModuleCodes.Add 15"};
  EXPECT_EQ(g_puts, expected);
  EXPECT_EQ(g_alive, 1);
  info->Release();
  module->Release();
  EXPECT_EQ(g_alive, 0);
  ::CoRevokeClassObject(cookie);
}

}  // namespace
