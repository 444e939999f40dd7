// SPDX-License-Identifier: Apache-2.0
#pragma once
// The password key and the keyed bit generator whose stream encrypts every
// hidden bit. Every constant and the bit order here are part of the hidden
// format: a picture written with one generator decodes only with the same one.
#include <QByteArray>
#include <array>
#include <cstddef>
#include <cstdint>

namespace ostrel {

// key := key × 2 + byte for every byte, wrapping at 2^64; so only the last 64
// bytes of a password count. Callers turn text into bytes with toAnsiBytes.
uint64_t HashPassword(const QByteArray& password);

// False for the one key (2^63) whose deciding register seeds to zero and so
// would never let a bit through; such a password must be refused.
bool keyCanProduceBits(uint64_t key);

// The keystream, made 64 bits at a time (RandomReference.h holds the
// generator one step at a time, as the format defines it). A register's
// successive low bits s[t] obey s[t+64] = XOR of s[t+j] over its mask bits j;
// raising that recurrence to the 64th power gives one between whole 64-bit
// words of the sequence, W[n+64] = XOR of W[n+j], so words come from XORs
// alone. The shrinking step then keeps A's bits where B's are 1 (one PEXT).
class TRandom {
public:
    // Portable skips the PEXT instruction even where the processor has it,
    // so tests and benchmarks can reach the fallback.
    enum class Kernel { Fastest, Portable };

    TRandom(uint32_t keyLow, uint32_t keyHigh, Kernel kernel = Kernel::Fastest);
    ~TRandom();
    TRandom(const TRandom&) = delete;
    TRandom& operator=(const TRandom&) = delete;

    // The next keystream bit. For the key 2^63 (see keyCanProduceBits) the
    // stream is all zeros instead of never ending.
    int NextBit();

    // The next 64 × count bits; bit i of a word is the i-th NextBit.
    // Interleaves freely with NextBit.
    void fillBits(uint64_t* words, size_t count);

    // The next 64 bits, as fillBits(&w, 1).
    uint64_t nextWord();

private:
    static constexpr size_t kHistory = 64; // words a new sequence word looks back
    static constexpr size_t kBlock = 256;  // sequence words made per refill

    uint64_t shrinkNextWord();
    void refillSequences();

    using ExtendFn = void (*)(uint64_t* words, size_t count);
    using ShrinkFn = size_t (*)(const uint64_t* a, const uint64_t* b, size_t count, uint64_t& acc, int& accBits,
                                uint64_t* out);

    std::array<uint64_t, kHistory + kBlock> m_seqA{};
    std::array<uint64_t, kHistory + kBlock> m_seqB{};
    size_t m_seqPos = kHistory + kBlock; // next unused sequence word
    std::array<uint64_t, kHistory + kBlock> m_ready{}; // whole output words made ahead
    size_t m_readyPos = 0, m_readyCount = 0;
    uint64_t m_acc = 0; // output bits made but not yet a whole word
    int m_accBits = 0;
    uint64_t m_bits = 0; // the rest of the word NextBit is taking apart
    int m_bitCount = 0;
    bool m_dead = false; // register B is zero: nothing ever comes out
    ExtendFn m_extendA = nullptr, m_extendB = nullptr;
    ShrinkFn m_shrink = nullptr;
};

} // namespace ostrel
