// Error codes of the TrailBeam core. They travel as std::error_code so that
// host failures (carried in the shell's own category) and system errors
// (std::system_category) pass through the core unchanged.
#pragma once

#include <system_error>

namespace tb {

enum class Errc {
  ok = 0,
  out_of_range,        // a device, point or zone index outside its bounds
  no_host_helper,      // a host call was needed before Init handed a helper over
  read_only_file,      // the settings file is write-protected
  not_regular_file,    // the settings file is a folder, device or pipe
  backup_read_only,    // the backup beside the settings file is write-protected
  backup_not_regular,  // the backup's place holds a folder, device or pipe
};

const std::error_category& core_category() noexcept;

inline std::error_code make_error_code(Errc e) noexcept {
  return {static_cast<int>(e), core_category()};
}

}  // namespace tb

template <>
struct std::is_error_code_enum<tb::Errc> : std::true_type {};
