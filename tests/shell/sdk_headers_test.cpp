// The SDK headers must stand on their own: no Qt, nothing of ours.
#include "orvn/com.h"
#include "orvn/comrt.h"
#include "orvn/orvntypelib.h"

#ifdef QT_VERSION
#error "the SDK headers must not pull in Qt"
#endif

#include <gtest/gtest.h>

#include <type_traits>

namespace {

using namespace orvn;

static_assert(std::is_abstract_v<IORVNPlugin> && std::is_abstract_v<IHostModuleInfo>);
static_assert(!std::has_virtual_destructor_v<IUnknown>);
static_assert(!std::has_virtual_destructor_v<IORVNPlugin>);
// Interfaces carry nothing but their vtable pointer.
static_assert(sizeof(IORVNPlugin) == sizeof(void*));
static_assert(sizeof(IORVNPluginHelper) == sizeof(void*));

TEST(SdkHeaders, ResultCodesHaveTheirWindowsValues) {
  EXPECT_EQ(static_cast<std::uint32_t>(E_NOINTERFACE), 0x80004002u);
  EXPECT_EQ(static_cast<std::uint32_t>(E_POINTER), 0x80004003u);
  EXPECT_EQ(static_cast<std::uint32_t>(E_FAIL), 0x80004005u);
  EXPECT_EQ(static_cast<std::uint32_t>(E_INVALIDARG), 0x80070057u);
  EXPECT_EQ(static_cast<std::uint32_t>(E_NOTIMPL), 0x80004001u);
  EXPECT_EQ(static_cast<std::uint32_t>(CLASS_E_CLASSNOTAVAILABLE), 0x80040111u);
  EXPECT_EQ(static_cast<std::uint32_t>(DISP_E_BADINDEX), 0x8002000Bu);
  EXPECT_TRUE(FAILED(E_FAIL));
  EXPECT_TRUE(SUCCEEDED(S_FALSE));
}

TEST(SdkHeaders, InterfaceIdentifiersAreDistinct) {
  const GUID ids[] = {IID_IUnknown,          IID_IDispatch,        IID_IClassFactory,
                      IID_IORVNPluginHelper, IID_IORVNOutput,      IID_IORVNPlugin,
                      IID_IORVNModule,       IID_IORVNForm,        IID_IORVNModuleCodes,
                      IID_IHostModuleInfo,   CLSID_HostModuleInfo, IID_IclsORVNPlugIn,
                      CLSID_clsORVNPlugIn,   LIBID_ORVN_TB_plugin2};
  for (std::size_t i = 0; i < std::size(ids); ++i)
    for (std::size_t j = i + 1; j < std::size(ids); ++j)
      EXPECT_FALSE(ids[i] == ids[j]) << i << "," << j;
}

}  // namespace
