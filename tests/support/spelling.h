// Table-driven tests of a number's spelling: each case a value and the text it must give.
#pragma once

#include <gtest/gtest.h>

#include <ios>
#include <span>

namespace support {

template <class T>
struct Spelling {
  T value;
  const char* text;
};

// `spell(value)` is each case's text; a failure shows the value as a hexadecimal float.
template <class T, class Spell>
void expect_spellings(std::span<const Spelling<T>> cases, Spell spell) {
  for (const Spelling<T>& c : cases) {
    EXPECT_EQ(spell(c.value), c.text) << std::hexfloat << c.value;
  }
}

}  // namespace support
