// The host's type library ORVNTypeLib in C++: the interfaces through which
// an Orvane host and its plug-ins talk, with their fixed identifiers.
//
// Every interface derives from IDispatch and keeps its members in the slot
// order listed here; adding a member means a new interface with a new IID.
// Parameter notes: [in] the callee only reads it; [in,out] passed by
// reference, the callee may read it and leaves it unchanged unless stated;
// [out,retval] the result, written by the callee on success. Strings
// returned through [out,retval] are allocated by the callee and freed by the
// caller (SysFreeString); strings passed [in] stay owned by the caller.
// Interface pointers returned through [out,retval] are AddRef'ed by the
// callee and released by the caller; interface pointers passed [in] are
// borrowed for the duration of the call (AddRef them to keep them).
#pragma once

#include "orvn/com.h"

#if defined(_WIN32)
// Windows: the interfaces as widl makes them from ORVNTypeLib.idl, with the
// same slots and identifiers as below. A window's Widget is its HWND there.
#include "ORVNTypeLib_h.h"

namespace orvn {
using ::CLSID_HostModuleInfo;
using ::IHostModuleInfo;
using ::IID_IHostModuleInfo;
using ::IID_IORVNForm;
using ::IID_IORVNModule;
using ::IID_IORVNModuleCodes;
using ::IID_IORVNOutput;
using ::IID_IORVNPlugin;
using ::IID_IORVNPluginHelper;
using ::IORVNForm;
using ::IORVNModule;
using ::IORVNModuleCodes;
using ::IORVNOutput;
using ::IORVNPlugin;
using ::IORVNPluginHelper;
using ::LIBID_ORVNTypeLib;
inline constexpr OLECHAR ProgID_HostModuleInfo[] = L"ORVNTypeLib.HostModuleInfo";

// The plug-in class's own interface (the default interface of clsORVNPlugIn).
class IclsORVNPlugIn : public IDispatch {
 public:
  ORVN_METHOD(get_PluginName)(BSTR* name) = 0;  // [out,retval] caller frees

 protected:
  ~IclsORVNPlugIn() = default;
};

inline constexpr IID IID_IclsORVNPlugIn = {
    0x15155cda, 0x6c32, 0x4c27, {0xad, 0x01, 0x78, 0xd4, 0xb8, 0xcb, 0x3c, 0xc0}};
inline constexpr CLSID CLSID_clsORVNPlugIn = {
    0x8b8e711b, 0xb058, 0x406d, {0x82, 0xf9, 0x20, 0xed, 0x67, 0x96, 0x3a, 0x1c}};
inline constexpr GUID LIBID_ORVN_TB_plugin2 = {
    0xe416626d, 0x7ed2, 0x4d7e, {0xb1, 0x87, 0x9e, 0x71, 0xa5, 0x14, 0x6f, 0x2a}};
inline constexpr OLECHAR ProgID_clsORVNPlugIn[] = L"ORVN_TB_plugin2.clsORVNPlugIn";
}  // namespace orvn

#else

namespace orvn {

class IORVNOutput;
class IORVNPluginHelper;
class IORVNForm;
class IORVNModuleCodes;
class IHostModuleInfo;

// The helper object that the host hands to Init. It belongs to the host.
class IORVNPluginHelper : public IDispatch {
 public:
  // channel: [in,out] DMX channel number, not changed. value: [out,retval]
  // the channel's current value. A host fails channels it does not know
  // (the reference host: E_INVALIDARG outside 1..512).
  ORVN_METHOD(ReadChannel)(std::int32_t* channel, std::int32_t* value) = 0;
  // output: [out,retval] the host's channel-output object, AddRef'ed.
  ORVN_METHOD(get_Output)(IORVNOutput** output) = 0;

 protected:
  ~IORVNPluginHelper() = default;
};

// The host's channel-output object. Callers fetch it from the helper for
// every single write and release it right afterwards.
class IORVNOutput : public IDispatch {
 public:
  // channel, value: [in,out] not changed. flag: [in,out] not changed;
  // plug-ins pass VARIANT_TRUE. Its meaning is the host's.
  ORVN_METHOD(WriteChannel)(std::int32_t* channel, std::int32_t* value, VARIANT_BOOL* flag) = 0;

 protected:
  ~IORVNOutput() = default;
};

// The host's life-cycle interface of a plug-in.
class IORVNPlugin : public IDispatch {
 public:
  ORVN_METHOD(Disable)(VARIANT_BOOL* result) = 0;  // [out,retval]
  ORVN_METHOD(Enable)(VARIANT_BOOL* result) = 0;   // [out,retval]
  // Opens the plug-in's configuration modally; returns when it has closed.
  ORVN_METHOD(Configure)(VARIANT_BOOL* result) = 0;  // [out,retval]
  // callingAppTitle, myFilename: [in,out] may be null or empty; not changed.
  // helper: [in,out] the host's helper object; the plug-in AddRefs what it
  // keeps and releases it when replaced or unloaded. *helper is not changed.
  ORVN_METHOD(Init)(BSTR* callingAppTitle, BSTR* myFilename, IORVNPluginHelper** helper,
                    VARIANT_BOOL* result) = 0;
  // msg, arg1, arg2: [in,out] not changed. result: [out,retval].
  ORVN_METHOD(MessageHandle)(std::int32_t* msg, std::int32_t* arg1, std::int32_t* arg2,
                             std::int32_t* result) = 0;
  ORVN_METHOD(get_PluginName)(BSTR* name) = 0;  // [out,retval] caller frees
  ORVN_METHOD(Term)(VARIANT_BOOL* result) = 0;  // [out,retval]

 protected:
  ~IORVNPlugin() = default;
};

// The host's module interface of a plug-in.
class IORVNModule : public IDispatch {
 public:
  // info: [out,retval] a new, filled module-information object, owned by
  // the caller.
  ORVN_METHOD(get_ModuleInfo)(IHostModuleInfo** info) = 0;

 protected:
  ~IORVNModule() = default;
};

// A plug-in window handed to the host (HostModuleInfo.MainForm).
class IORVNForm : public IDispatch {
 public:
  ORVN_METHOD(Show)() = 0;  // shows it modeless and brings it to the front
  ORVN_METHOD(Hide)() = 0;
  ORVN_METHOD(get_Caption)(BSTR* caption) = 0;        // [out,retval] caller frees
  ORVN_METHOD(get_Visible)(VARIANT_BOOL* visible) = 0;  // [out,retval]
  // widget: [out,retval] the window's QWidget*, not AddRef'ed. Valid only
  // while this object lives, and only for a host in the same process that
  // uses the same Qt library as the plug-in; other hosts use Show/Hide.
  ORVN_METHOD(get_Widget)(void** widget) = 0;

 protected:
  ~IORVNForm() = default;
};

// The ModuleCodes collection of HostModuleInfo, implemented by the host.
class IORVNModuleCodes : public IDispatch {
 public:
  // item: [in] appended at the end, without a key.
  ORVN_METHOD(Add)(std::int32_t item) = 0;
  ORVN_METHOD(get_Count)(std::int32_t* count) = 0;  // [out,retval]
  // index: [in] 1-based. item: [out,retval]. DISP_E_BADINDEX when out of range.
  ORVN_METHOD(get_Item)(std::int32_t index, std::int32_t* item) = 0;

 protected:
  ~IORVNModuleCodes() = default;
};

// The module-information class, implemented by the host and created by the
// plug-in through the platform runtime (CoCreateInstance with
// CLSID_HostModuleInfo). Properties are written with put_ and read with get_;
// texts passed to put_ stay the caller's, texts from get_ are the caller's to
// free; MainForm is AddRef'ed by the object.
class IHostModuleInfo : public IDispatch {
 public:
  ORVN_METHOD(get_ModuleGuid)(BSTR* value) = 0;
  ORVN_METHOD(put_ModuleGuid)(BSTR value) = 0;
  ORVN_METHOD(get_ModuleName)(BSTR* value) = 0;
  ORVN_METHOD(put_ModuleName)(BSTR value) = 0;
  ORVN_METHOD(get_ModuleText)(BSTR* value) = 0;
  ORVN_METHOD(put_ModuleText)(BSTR value) = 0;
  ORVN_METHOD(get_ModuleAuthor)(BSTR* value) = 0;
  ORVN_METHOD(put_ModuleAuthor)(BSTR value) = 0;
  ORVN_METHOD(get_ModuleFlag1)(VARIANT_BOOL* value) = 0;
  ORVN_METHOD(put_ModuleFlag1)(VARIANT_BOOL value) = 0;
  ORVN_METHOD(get_ModuleFlag2)(VARIANT_BOOL* value) = 0;
  ORVN_METHOD(put_ModuleFlag2)(VARIANT_BOOL value) = 0;
  ORVN_METHOD(get_ModuleNumber1)(std::int32_t* value) = 0;
  ORVN_METHOD(put_ModuleNumber1)(std::int32_t value) = 0;
  ORVN_METHOD(get_MainFormName)(BSTR* value) = 0;
  ORVN_METHOD(put_MainFormName)(BSTR value) = 0;
  ORVN_METHOD(get_MainForm)(IORVNForm** value) = 0;
  ORVN_METHOD(putref_MainForm)(IORVNForm* value) = 0;
  ORVN_METHOD(get_ModuleNumber2)(std::int32_t* value) = 0;
  ORVN_METHOD(put_ModuleNumber2)(std::int32_t value) = 0;
  ORVN_METHOD(get_ModuleNumber3)(std::int32_t* value) = 0;
  ORVN_METHOD(put_ModuleNumber3)(std::int32_t value) = 0;
  ORVN_METHOD(get_ModuleFlag3)(VARIANT_BOOL* value) = 0;
  ORVN_METHOD(put_ModuleFlag3)(VARIANT_BOOL value) = 0;
  ORVN_METHOD(get_ModuleFlag4)(VARIANT_BOOL* value) = 0;
  ORVN_METHOD(put_ModuleFlag4)(VARIANT_BOOL value) = 0;
  // value: [out,retval] the object's own collection, AddRef'ed.
  ORVN_METHOD(get_ModuleCodes)(IORVNModuleCodes** value) = 0;

 protected:
  ~IHostModuleInfo() = default;
};

// The plug-in class's own interface (the default interface of clsORVNPlugIn).
class IclsORVNPlugIn : public IDispatch {
 public:
  ORVN_METHOD(get_PluginName)(BSTR* name) = 0;  // [out,retval] caller frees

 protected:
  ~IclsORVNPlugIn() = default;
};

// Identifiers. The host's interfaces and classes.
inline constexpr IID IID_IORVNPluginHelper = {0x43b40957, 0xde6d, 0x4bf1, {0xbe, 0xce, 0x00, 0xff, 0xc9, 0xa0, 0xdf, 0xd9}};
inline constexpr IID IID_IORVNOutput = {0x5246651e, 0x0926, 0x4542, {0xbe, 0xce, 0x00, 0xff, 0xc9, 0xa0, 0xdf, 0xd9}};
inline constexpr IID IID_IORVNPlugin = {0xe832723c, 0xc6d4, 0x40da, {0xa2, 0x98, 0xa0, 0x66, 0x4c, 0x74, 0x8c, 0x30}};
inline constexpr IID IID_IORVNModule = {0x947ba881, 0xb775, 0x4114, {0xbc, 0x85, 0x75, 0x86, 0xa0, 0xd8, 0xd9, 0x4a}};
inline constexpr IID IID_IORVNForm = {0x32585e8b, 0x49ad, 0x476c, {0x88, 0x7a, 0x55, 0x97, 0xd0, 0x7e, 0x63, 0x4e}};
inline constexpr IID IID_IORVNModuleCodes = {0x9877d7e0, 0x8948, 0x4e91, {0xb5, 0x93, 0x9a, 0x31, 0x89, 0x4e, 0x82, 0x26}};
inline constexpr IID IID_IHostModuleInfo = {0xf8aaee28, 0xd980, 0x41fc, {0x81, 0xff, 0x91, 0xcd, 0x25, 0xe2, 0xa6, 0x72}};
inline constexpr CLSID CLSID_HostModuleInfo = {0x1be90eba, 0x05d8, 0x45d2, {0xb3, 0xf4, 0x63, 0x6d, 0x0f, 0xb4, 0x41, 0x1f}};
inline constexpr char16_t ProgID_HostModuleInfo[] = u"ORVNTypeLib.HostModuleInfo";

// The TrailBeam plug-in's class, its own interface and its type library.
inline constexpr IID IID_IclsORVNPlugIn = {0x15155cda, 0x6c32, 0x4c27, {0xad, 0x01, 0x78, 0xd4, 0xb8, 0xcb, 0x3c, 0xc0}};
inline constexpr CLSID CLSID_clsORVNPlugIn = {0x8b8e711b, 0xb058, 0x406d, {0x82, 0xf9, 0x20, 0xed, 0x67, 0x96, 0x3a, 0x1c}};
inline constexpr GUID LIBID_ORVN_TB_plugin2 = {0xe416626d, 0x7ed2, 0x4d7e, {0xb1, 0x87, 0x9e, 0x71, 0xa5, 0x14, 0x6f, 0x2a}};
inline constexpr char16_t ProgID_clsORVNPlugIn[] = u"ORVN_TB_plugin2.clsORVNPlugIn";

}  // namespace orvn

#endif  // _WIN32
