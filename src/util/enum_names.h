// The words an enumeration is shown with, as a table beside it rather than a switch in every
// function that names one.
#pragma once

#include <cstddef>

namespace enum_names {

template <typename Enum>
struct Named {
  Enum value;
  const char* name;
};

// The name `names` gives `value`; `absent` for a value the table does not hold.
template <typename Enum, std::size_t N>
constexpr const char* name(Enum value, const Named<Enum> (&names)[N], const char* absent) {
  for (const Named<Enum>& n : names) {
    if (n.value == value) return n.name;
  }
  return absent;
}

}  // namespace enum_names
