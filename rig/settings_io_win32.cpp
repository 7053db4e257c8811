#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <climits>
#include <cstdint>

#include "rig/settings_io.h"

namespace tb {

namespace {

std::error_code LastSystemError() {
  return {static_cast<int>(::GetLastError()), std::system_category()};
}

// UTF-8 to UTF-16; false for text that is not valid UTF-8 (a path no file
// can have).
bool Widen(const std::string& utf8, std::wstring& wide) {
  wide.clear();
  if (utf8.empty()) return true;
  if (utf8.size() > static_cast<std::size_t>(INT_MAX)) return false;
  const int size = static_cast<int>(utf8.size());
  const int n = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, nullptr, 0);
  if (n <= 0) return false;
  wide.resize(static_cast<std::size_t>(n));
  return ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, wide.data(), n) ==
         n;
}

std::string Narrow(const std::wstring& wide) {
  if (wide.empty()) return {};
  const int size = static_cast<int>(wide.size());
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string utf8(static_cast<std::size_t>(n), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), n, nullptr, nullptr);
  return utf8;
}

class Handle {
 public:
  explicit Handle(HANDLE h) : h_(h) {}
  ~Handle() { Close(); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return h_; }
  bool valid() const { return h_ != INVALID_HANDLE_VALUE; }
  bool Close() {
    if (!valid()) return true;
    const bool ok = ::CloseHandle(h_) != 0;
    h_ = INVALID_HANDLE_VALUE;
    return ok;
  }

 private:
  HANDLE h_;
};

// Where a link (reparse point) leads, so that the link stays a link.
std::error_code ResolveLink(std::wstring& path) {
  Handle file(::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!file.valid()) return LastSystemError();
  std::wstring final(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n =
        ::GetFinalPathNameByHandleW(file.get(), final.data(), static_cast<DWORD>(final.size()), 0);
    if (n == 0) return LastSystemError();
    if (n < final.size()) {
      final.resize(n);
      break;
    }
    final.resize(n);
  }
  path = final;
  return {};
}

std::error_code WriteAll(HANDLE file, std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD chunk = bytes.size() > (1u << 30) ? (1u << 30) : static_cast<DWORD>(bytes.size());
    DWORD written = 0;
    if (!::WriteFile(file, bytes.data(), chunk, &written, nullptr)) return LastSystemError();
    if (written == 0) return {ERROR_WRITE_FAULT, std::system_category()};
    bytes.remove_prefix(written);
  }
  return {};
}

// CREATE_NEW under a name of our own next to the target, so that the move
// stays within one volume.
HANDLE CreateTempFile(const std::wstring& path, std::wstring& tempPath) {
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    tempPath = path + L".tmp-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
               std::to_wstring(++counter);
    HANDLE h = ::CreateFileW(tempPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_FILE_EXISTS) return h;
  }
  ::SetLastError(ERROR_FILE_EXISTS);
  return INVALID_HANDLE_VALUE;
}

// Whether a backup may be put at path: nothing there, a link (replaced
// itself), or a regular file the operator did not protect.
std::error_code CheckBackupPlace(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND) return {};
    return {static_cast<int>(error), std::system_category()};
  }
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return {};
  if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0)
    return make_error_code(Errc::backup_not_regular);
  if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) return make_error_code(Errc::backup_read_only);
  return {};
}

// A complete, flushed copy of `from` beside `backup`, in a temporary file;
// empty tempPath when the old file already holds `bytes` (nothing to keep).
std::error_code CopyOldFile(const std::wstring& from, DWORD attributes, const std::wstring& backup,
                            std::string_view bytes, std::wstring& tempPath) {
  tempPath.clear();
  Handle in(::CreateFileW(from.c_str(), GENERIC_READ,
                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  // A file the operator may not read cannot be kept, but may be saved.
  if (!in.valid()) {
    const DWORD why = ::GetLastError();
    if (why == ERROR_ACCESS_DENIED) return {};
    return {static_cast<int>(why), std::system_category()};
  }
  std::wstring copy;
  Handle out(CreateTempFile(backup, copy));
  if (!out.valid()) return LastSystemError();
  std::error_code error;
  bool same = true;
  std::size_t offset = 0;
  char buffer[64 * 1024];
  for (;;) {
    DWORD n = 0;
    if (!::ReadFile(in.get(), buffer, sizeof buffer, &n, nullptr)) error = LastSystemError();
    if (error || n == 0) break;
    const std::string_view chunk(buffer, n);
    same = same && bytes.substr(std::min(offset, bytes.size())).starts_with(chunk);
    offset += chunk.size();
    error = WriteAll(out.get(), chunk);
    if (error) break;
  }
  same = same && offset == bytes.size();
  if (!error && !same && !::FlushFileBuffers(out.get())) error = LastSystemError();
  if (!out.Close() && !error) error = LastSystemError();
  // The backup keeps the attributes the file had (hidden, say).
  if (!error && !same && (attributes & ~FILE_ATTRIBUTE_NORMAL) != 0 &&
      !::SetFileAttributesW(copy.c_str(), attributes)) {
    error = LastSystemError();
  }
  if (error || same) {
    ::DeleteFileW(copy.c_str());
    return error;
  }
  tempPath = copy;
  return {};
}

}  // namespace

std::error_code ReplaceFileAtomically(const std::string& path, std::string_view bytes,
                                      SaveInterruption interruption) {
  std::wstring target;
  if (!Widen(path, target)) return {ERROR_INVALID_NAME, std::system_category()};

  DWORD attributes = ::GetFileAttributesW(target.c_str());
  const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
  if (!exists && ::GetLastError() != ERROR_FILE_NOT_FOUND) return LastSystemError();
  if (exists && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    if (const auto error = ResolveLink(target)) return error;
    attributes = ::GetFileAttributesW(target.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return LastSystemError();
  }
  if (exists) {
    if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0)
      return make_error_code(Errc::not_regular_file);
    // Set by the operator: honoured even where the process could clear it.
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) return make_error_code(Errc::read_only_file);
  }
  const std::wstring backup = target + L".bak";
  if (exists) {
    if (const auto error = CheckBackupPlace(backup)) return error;
  }

  std::wstring tempPath;
  Handle temp(CreateTempFile(target, tempPath));
  if (!temp.valid()) return LastSystemError();
  std::error_code error = WriteAll(temp.get(), bytes);
  if (!error && !::FlushFileBuffers(temp.get())) error = LastSystemError();
  if (!temp.Close() && !error) error = LastSystemError();
  // The replacement keeps the attributes the operator gave the old file.
  if (!error && exists && (attributes & ~FILE_ATTRIBUTE_NORMAL) != 0 &&
      !::SetFileAttributesW(tempPath.c_str(), attributes)) {
    error = LastSystemError();
  }
  std::wstring backupTemp;
  if (!error && exists) error = CopyOldFile(target, attributes, backup, bytes, backupTemp);
  if (!error && interruption != nullptr) error = interruption(Narrow(tempPath));
  if (!error && !::MoveFileExW(tempPath.c_str(), target.c_str(),
                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    error = LastSystemError();
  }
  if (error) {
    ::DeleteFileW(tempPath.c_str());
    if (!backupTemp.empty()) ::DeleteFileW(backupTemp.c_str());
    return error;
  }
  // Only now that the new file is in place does the old one become the
  // backup, so a failed save (a file held open, say) leaves the earlier
  // backup as it was. Should this move fail, the settings are saved all
  // the same.
  if (!backupTemp.empty() && !::MoveFileExW(backupTemp.c_str(), backup.c_str(),
                                            MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    ::DeleteFileW(backupTemp.c_str());
  return error;
}

std::FILE* OpenRegularFileForReading(const std::string& path) {
  std::wstring wide;
  if (!Widen(path, wide)) return nullptr;
  // Only disk files are read: a pipe or device could block the host's
  // user-interface thread.
  HANDLE h = ::CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return nullptr;
  if (::GetFileType(h) != FILE_TYPE_DISK) {
    ::CloseHandle(h);
    return nullptr;
  }
  const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(h), _O_RDONLY | _O_BINARY);
  if (fd < 0) {
    ::CloseHandle(h);
    return nullptr;
  }
  std::FILE* file = ::_fdopen(fd, "rb");
  if (file == nullptr) ::_close(fd);
  return file;
}

}  // namespace tb
