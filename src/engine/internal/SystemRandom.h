// SPDX-License-Identifier: Apache-2.0
#pragma once
// Bits from the operating system's cryptographic random source.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace ostrel {

// Fills `words` with `count` random words; false when the source cannot be read.
bool systemRandomWords(std::vector<uint64_t>& words, size_t count);

} // namespace ostrel
