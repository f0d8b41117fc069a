#pragma once
// Large made-up dream books for benchmarks and load tests: unique headwords
// built from syllables, interpretations of typical length in the usual
// "Видеть во сне … – к …" style, see-also lists naming other headwords.

#include "dictionary/BookSource.h"

#include <cstdint>

namespace somnex::dictionary {

BookContent syntheticBook(int words, uint32_t seed, const QString &name);

} // namespace somnex::dictionary
