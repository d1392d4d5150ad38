// The form a Russian noun takes after a number: "1 товар", "2 товара", "5 товаров".
#pragma once

#include <cstdint>

// one after 1, 21, 31, ... (not 11); few after 2-4, 22-24, ... (not 12-14); many otherwise.
inline const char* RussianNounForm(uint64_t count, const char* one, const char* few,
                                   const char* many) {
  const uint64_t last = count % 10;
  const uint64_t lastTwo = count % 100;
  if (last == 1 && lastTwo != 11) return one;
  if (last >= 2 && last <= 4 && (lastTwo < 12 || lastTwo > 14)) return few;
  return many;
}
