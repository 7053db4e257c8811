// COM basics for Orvane plug-ins and hosts on any platform.
//
// The binary layout follows the Windows component object model so that a
// plug-in written against these headers keeps the same vtable slots, GUIDs
// and result codes as its Windows counterpart:
//  - interfaces are abstract classes of pure virtual functions in a fixed
//    slot order, with no data members and no virtual destructor (objects are
//    destroyed by their own Release);
//  - GUID is the Windows 16-byte layout;
//  - HRESULT is a signed 32-bit integer with the Windows values everywhere;
//  - VARIANT_BOOL is a signed 16-bit integer, true is -1 and false 0; readers
//    treat any non-zero value as true;
//  - BSTR is a length-prefixed, null-terminated UTF-16 string. The callee
//    allocates what it returns (SysAllocString*), the caller frees it
//    (SysFreeString). There is exactly one allocator: the platform runtime
//    library (comrt.h), which the host and every plug-in link.
//
// Late binding is not offered: every interface keeps the four IDispatch slots
// so that the slot order matches the Windows type library, but
// GetTypeInfoCount answers 0 and GetTypeInfo, GetIDsOfNames and Invoke answer
// E_NOTIMPL. Callers use the typed vtable slots.
//
// This header includes nothing but the C++ standard library. On Windows it
// maps everything to the platform's own types instead (see below).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#define ORVN_METHOD(name) virtual HRESULT ORVN_STDCALL name

#if defined(_WIN32)
// Windows: the real COM. The names are the platform's, brought into orvn so
// that code written against these headers builds unchanged. The result codes,
// VARIANT_TRUE/FALSE, SUCCEEDED/FAILED, REFIID and REFCLSID are the
// platform's macros there: use them unqualified (not as orvn::S_OK).
#include <windows.h>
// After windows.h:
#include <oaidl.h>
#include <objbase.h>

#define ORVN_STDCALL STDMETHODCALLTYPE
// A literal of OLECHAR.
#define ORVN_TEXT(text) L##text

namespace orvn {
using ::BSTR;
using ::CLSID;
using ::DISPID;
using ::GUID;
using ::HRESULT;
using ::IClassFactory;
using ::IDispatch;
using ::IID;
using ::IID_IClassFactory;
using ::IID_IDispatch;
using ::IID_IUnknown;
using ::IUnknown;
using ::LCID;
using ::LONG;
using ::OLECHAR;
using ::UINT;
using ::ULONG;
using ::VARIANT_BOOL;
using ::WORD;
}  // namespace orvn

#else

#define ORVN_STDCALL
#define ORVN_TEXT(text) u##text

namespace orvn {

// The integer of automation's "long" (32 bits on every platform here).
using LONG = std::int32_t;

using HRESULT = std::int32_t;
using ULONG = std::uint32_t;
using UINT = std::uint32_t;
using LCID = std::uint32_t;
using DISPID = std::int32_t;
using WORD = std::uint16_t;
using VARIANT_BOOL = std::int16_t;
using OLECHAR = char16_t;
using BSTR = OLECHAR*;

static_assert(sizeof(HRESULT) == 4);
static_assert(sizeof(VARIANT_BOOL) == 2);
static_assert(sizeof(OLECHAR) == 2);

inline constexpr VARIANT_BOOL VARIANT_TRUE = -1;
inline constexpr VARIANT_BOOL VARIANT_FALSE = 0;

// Result codes, with their Windows values.
inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
inline constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
inline constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
inline constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFFu);
inline constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
inline constexpr HRESULT CLASS_E_NOAGGREGATION = static_cast<HRESULT>(0x80040110u);
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = static_cast<HRESULT>(0x80040111u);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154u);
inline constexpr HRESULT CO_E_DLLNOTFOUND = static_cast<HRESULT>(0x800401F8u);
inline constexpr HRESULT CO_E_ERRORINDLL = static_cast<HRESULT>(0x800401F9u);
inline constexpr HRESULT SELFREG_E_CLASS = static_cast<HRESULT>(0x80040201u);
// Automation "Subscript out of range" (error 9), as a failure code.
inline constexpr HRESULT DISP_E_BADINDEX = static_cast<HRESULT>(0x8002000Bu);
// The failure code for a Win32 / errno-style error number.
constexpr HRESULT HRESULT_FROM_WIN32(std::uint32_t code) {
  return code == 0 ? S_OK : static_cast<HRESULT>((code & 0x0000FFFFu) | 0x80070000u);
}

constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }

// Windows layout: 4 + 2 + 2 + 8 bytes, little-endian fields on x86.
struct GUID {
  std::uint32_t Data1;
  std::uint16_t Data2;
  std::uint16_t Data3;
  std::uint8_t Data4[8];
};
static_assert(sizeof(GUID) == 16);
static_assert(alignof(GUID) == 4);
static_assert(offsetof(GUID, Data4) == 8);

using IID = GUID;
using CLSID = GUID;
using REFIID = const IID&;
using REFCLSID = const CLSID&;

constexpr bool operator==(const GUID& a, const GUID& b) {
  if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
  for (int i = 0; i < 8; ++i)
    if (a.Data4[i] != b.Data4[i]) return false;
  return true;
}

// Opaque automation types: only pointers to them appear, since late binding
// is not offered.
struct DISPPARAMS;
struct VARIANT;
struct EXCEPINFO;
struct ITypeInfo;

inline constexpr IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IDispatch = {0x00020400, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IClassFactory = {0x00000001, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

// Slots 0-2.
class IUnknown {
 public:
  // riid: in. ppv: out, receives an AddRef'ed pointer or null on failure;
  // the caller releases it.
  ORVN_METHOD(QueryInterface)(REFIID riid, void** ppv) = 0;
  // Both return the new count, for diagnostics only.
  virtual ULONG ORVN_STDCALL AddRef() = 0;
  virtual ULONG ORVN_STDCALL Release() = 0;

 protected:
  ~IUnknown() = default;
};

// Slots 3-6. Present for the slot order only; see the header comment.
class IDispatch : public IUnknown {
 public:
  // count: out, always 0.
  ORVN_METHOD(GetTypeInfoCount)(UINT* count) = 0;
  // Not offered: E_NOTIMPL, *info set to null.
  ORVN_METHOD(GetTypeInfo)(UINT index, LCID lcid, ITypeInfo** info) = 0;
  // Not offered: E_NOTIMPL.
  ORVN_METHOD(GetIDsOfNames)(REFIID riid, OLECHAR** names, UINT count, LCID lcid, DISPID* ids) = 0;
  // Not offered: E_NOTIMPL.
  ORVN_METHOD(Invoke)(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                      VARIANT* result, EXCEPINFO* excep, UINT* argErr) = 0;

 protected:
  ~IDispatch() = default;
};

// Slots 3-4.
class IClassFactory : public IUnknown {
 public:
  // outer: in, must be null (no aggregation). ppv: out, AddRef'ed or null.
  ORVN_METHOD(CreateInstance)(IUnknown* outer, REFIID riid, void** ppv) = 0;
  // lock: in, non-zero locks the module in memory, zero unlocks it.
  ORVN_METHOD(LockServer)(std::int32_t lock) = 0;

 protected:
  ~IClassFactory() = default;
};

}  // namespace orvn

#endif  // _WIN32
