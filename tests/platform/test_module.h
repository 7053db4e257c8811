// The class of the test module (test_module.cpp), as its users see it.
#pragma once

#include "orvn/com.h"

namespace orvn_test {

using namespace orvn;

inline constexpr CLSID CLSID_TestThing = {
    0x6f1c2a10, 0x3b5d, 0x4e7a, {0x9c, 0x01, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77}};
inline constexpr IID IID_ITestThing = {
    0x6f1c2a11, 0x3b5d, 0x4e7a, {0x9c, 0x01, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77}};
inline constexpr GUID LIBID_TestLib = {
    0x6f1c2a12, 0x3b5d, 0x4e7a, {0x9c, 0x01, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77}};
inline constexpr char kTestProgId[] = "OrvnTest.Thing";
inline constexpr char16_t kTestProgId16[] = u"OrvnTest.Thing";

class ITestThing : public IUnknown {
 public:
  ORVN_METHOD(Answer)(std::int32_t* value) = 0;  // [out,retval] 42

 protected:
  ~ITestThing() = default;
};

}  // namespace orvn_test
