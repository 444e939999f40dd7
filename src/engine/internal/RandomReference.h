// SPDX-License-Identifier: Apache-2.0
#pragma once
// How the keyed generator seeds its two registers, and the generator one
// step at a time: what TRandom builds on and is measured against. Every
// constant here is part of the hidden format.
#include <array>
#include <cstdint>

namespace ostrel {

// The fixed tap words; each one fills both 32-bit halves of a register's mask.
inline constexpr std::array<uint32_t, 8> kTapWords = {
    0x01428011, 0x01012241, 0x00510821, 0x04860011, 0x1C200009, 0x20810029, 0x220A0005, 0x420A0003,
};
inline constexpr uint64_t kSeedMultiplierA = 3141592653u;
inline constexpr uint64_t kSeedMultiplierB = 1414213562u;

struct RandomSeed {
    uint64_t maskA, maskB, stateA, stateB;
};
RandomSeed seedRegisters(uint32_t keyLow, uint32_t keyHigh);

// The generator one step at a time, exactly as the format defines it: two
// shift registers step together and register A's new low bit is emitted only
// when register B's new low bit is 1. Kept as the yardstick for TRandom.
class RandomReference {
public:
    RandomReference(uint32_t keyLow, uint32_t keyHigh);
    ~RandomReference();
    RandomReference(const RandomReference&) = delete;
    RandomReference& operator=(const RandomReference&) = delete;

    int NextBit();

    uint64_t MaskA() const { return m_maskA; }
    uint64_t MaskB() const { return m_maskB; }
    uint64_t StateA() const { return m_stateA; }
    uint64_t StateB() const { return m_stateB; }

    static void Step(uint64_t& reg, uint64_t mask);

private:
    uint64_t m_maskA, m_maskB, m_stateA, m_stateB;
};

} // namespace ostrel
