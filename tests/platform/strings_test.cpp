#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "orvn/comrt.h"
#include "orvn/orvntypelib.h"

using namespace orvn;

namespace {

std::uint32_t Prefix(BSTR text) {
  std::uint32_t bytes;
  std::memcpy(&bytes, reinterpret_cast<const char*>(text) - 4, 4);
  return bytes;
}

TEST(Bstr, CopiesTextWithLengthPrefixAndTerminator) {
  struct Case {
    std::u16string text;
  };
  const Case cases[] = {{u""}, {u"A"}, {u"Trail Beam Plugin"}, {u"Größe \U0001F4A1"}};
  for (const Case& c : cases) {
    BSTR s = SysAllocString(c.text.c_str());
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(SysStringLen(s), c.text.size());
    EXPECT_EQ(Prefix(s), c.text.size() * 2);
    EXPECT_EQ(std::u16string(s, SysStringLen(s)), c.text);
    EXPECT_EQ(s[c.text.size()], 0);
    SysFreeString(s);
  }
}

TEST(Bstr, LenKeepsEmbeddedNullsAndZeroesWithoutSource) {
  const char16_t text[] = {u'a', 0, u'b', u'c'};
  BSTR s = SysAllocStringLen(text, 3);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(SysStringLen(s), 3u);
  EXPECT_EQ(std::u16string(s, 3), std::u16string(text, 3));
  EXPECT_EQ(s[3], 0);
  SysFreeString(s);

  BSTR blank = SysAllocStringLen(nullptr, 5);
  ASSERT_NE(blank, nullptr);
  EXPECT_EQ(SysStringLen(blank), 5u);
  for (int i = 0; i <= 5; ++i) EXPECT_EQ(blank[i], 0) << i;
  SysFreeString(blank);
}

TEST(Bstr, NullsAndOverlongLengths) {
  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  SysFreeString(nullptr);
  // Lengths whose byte count cannot be kept in the prefix as a
  // non-negative 32-bit number are refused before anything is allocated.
  for (UINT length : {0xFFFFFFFFu, 0x80000000u, 0x7FFFFFFFu, 0x40000000u})
    EXPECT_EQ(SysAllocStringLen(nullptr, length), nullptr) << length;
}

TEST(GuidText, FormatsUpperCaseRegistryForm) {
  OLECHAR buffer[39];
  ASSERT_EQ(StringFromGUID2(CLSID_clsORVNPlugIn, buffer, 39), 39);
  EXPECT_EQ(std::u16string(buffer), u"{8B8E711B-B058-406D-82F9-20ED67963A1C}");
  ASSERT_EQ(StringFromGUID2(IID_IUnknown, buffer, 39), 39);
  EXPECT_EQ(std::u16string(buffer), u"{00000000-0000-0000-C000-000000000046}");
}

TEST(GuidText, TooSmallBufferWritesNothing) {
  OLECHAR buffer[39];
  std::fill(std::begin(buffer), std::end(buffer), u'x');
  EXPECT_EQ(StringFromGUID2(IID_IUnknown, buffer, 38), 0);
  EXPECT_EQ(buffer[0], u'x');
  EXPECT_EQ(StringFromGUID2(IID_IUnknown, nullptr, 39), 0);
  EXPECT_EQ(StringFromGUID2(IID_IUnknown, buffer, -1), 0);
}

TEST(GuidText, RoundTrip) {
  const GUID guids[] = {IID_IUnknown, CLSID_clsORVNPlugIn, LIBID_ORVN_TB_plugin2,
                        GUID{0xFFFFFFFF, 0xFFFF, 0xFFFF, {255, 255, 255, 255, 255, 255, 255, 255}},
                        GUID{}};
  for (const GUID& guid : guids) {
    OLECHAR wide[39];
    ASSERT_EQ(StringFromGUID2(guid, wide, 39), 39);
    std::string narrow(wide, wide + 38);
    GUID back{};
    ASSERT_EQ(GUIDFromString8(narrow.c_str(), &back), S_OK) << narrow;
    EXPECT_TRUE(back == guid) << narrow;
  }
}

TEST(GuidText, AcceptsLowerCaseHex) {
  GUID guid{};
  ASSERT_EQ(GUIDFromString8("{8b8e711b-b058-406d-82f9-20ed67963a1c}", &guid), S_OK);
  EXPECT_TRUE(guid == CLSID_clsORVNPlugIn);
}

TEST(GuidText, RejectsBadText) {
  const char* bad[] = {
      "",
      "{8B8E711B-B058-406D-82F9-20ED67963A1C",     // no closing brace
      "8B8E711B-B058-406D-82F9-20ED67963A1C",      // no braces
      "{8B8E711B-B058-406D-82F9-20ED67963A1C}x",   // trailing text
      "{8B8E711B-B058-406D-82F920ED67963A1C0}",    // hyphen moved
      "{8B8E711B-B058-406D-82F9-20ED67963A1G}",    // not hex
      "{8B8E711B-B058-406D-82F9-20ED6796 3A1}",    // blank
      "{+B8E711B-B058-406D-82F9-20ED67963A1C}",    // sign
      "(8B8E711B-B058-406D-82F9-20ED67963A1C)",    // wrong brackets
      "{8B8E711B-B058-406D-82F9-20ED67963A1C}\n",  // line break
  };
  for (const char* text : bad) {
    GUID guid = IID_IUnknown;
    EXPECT_EQ(GUIDFromString8(text, &guid), E_INVALIDARG) << text;
    EXPECT_TRUE(guid == IID_IUnknown) << "changed by " << text;
  }
  GUID guid{};
  EXPECT_EQ(GUIDFromString8(nullptr, &guid), E_INVALIDARG);
  EXPECT_EQ(GUIDFromString8("{8B8E711B-B058-406D-82F9-20ED67963A1C}", nullptr), E_POINTER);
}

TEST(GuidText, ShortTextIsNotReadPastItsEnd) {
  // A heap block of exactly the text's size: reading past it trips ASan.
  const std::string text = "{8B8E711B";
  auto* block = new char[text.size() + 1];
  std::memcpy(block, text.c_str(), text.size() + 1);
  GUID guid{};
  EXPECT_EQ(GUIDFromString8(block, &guid), E_INVALIDARG);
  delete[] block;
}

}  // namespace
