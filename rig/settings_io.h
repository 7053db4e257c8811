// The settings file's few operating-system calls, one file per system, so
// that the reading and writing of its bytes stay the same everywhere.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <system_error>

#include "rig/settings_file.h"

namespace tb {

// Replaces the file at path (UTF-8) with bytes in one step: a temporary file
// in the same folder is written, flushed to the disk and then put in the
// file's place, so that either the old file stays complete or the new one
// is there. A link is saved where it points and stays a link. A
// write-protected file is never replaced (Errc::read_only_file), nor is a
// folder, device or pipe (Errc::not_regular_file). Other failures carry the
// system's own error number; the temporary file is removed then.
// The file replaced is kept beside it with kBackupSuffix, itself replaced in
// one step, once the new file is in place; a save that leaves the bytes as
// they were keeps the earlier backup. A write-protected backup, or a folder
// in its place, refuses the save before anything is written
// (Errc::backup_read_only, Errc::backup_not_regular).
std::error_code ReplaceFileAtomically(const std::string& path, std::string_view bytes,
                                      SaveInterruption interruption);

// The file at path (UTF-8) opened for binary reading, or null when it
// cannot be opened or is no regular file. Never blocks on a pipe.
std::FILE* OpenRegularFileForReading(const std::string& path);

}  // namespace tb
