// The device setup window reads numbers out of whatever text a cell holds.
// Besides crashes and undefined behaviour, checks that blanks, tabs and
// line feeds really are skipped wherever they stand.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "ui/leading_number.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::int32_t value = tb::ui::LeadingNumber(text);
  std::string spaced;
  for (char c : text) {
    spaced += c;
    spaced += (c & 1) ? ' ' : '\t';
  }
  if (tb::ui::LeadingNumber(spaced) != value) std::abort();
  return 0;
}
