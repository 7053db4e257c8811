// The version record of a module: key=value lines that tools read from the
// module file without loading it (ReadModuleVersionRecord, orvn-regsvr -v).
//
// Use once per module, at namespace scope in one source file:
//
//   #include "platform/version_record.h"
//   ORVN_VERSION_RECORD(
//       "FileVersion=1.0.0.0\n"
//       "ProductVersion=1.0.0.0\n"
//       "InternalName=TrailBeam\n"
//       "ProductName=ORVN_TB_plugin2\n");
//
// The record goes into the ELF section ".orvn_version". The symbol has
// hidden visibility, so it never enters the module's dynamic symbol table,
// and it is kept even when the linker drops unused sections.
#pragma once

#if defined(__has_attribute)
#if __has_attribute(retain)
#define ORVN_VERSION_RECORD_RETAIN_ retain,
#endif
#endif
#ifndef ORVN_VERSION_RECORD_RETAIN_
#define ORVN_VERSION_RECORD_RETAIN_
#endif

#define ORVN_VERSION_RECORD(text)                                              \
  extern "C" __attribute__((section(".orvn_version"), used,                    \
                            ORVN_VERSION_RECORD_RETAIN_ visibility("hidden"))) \
  const char orvn_version_record[] = text
