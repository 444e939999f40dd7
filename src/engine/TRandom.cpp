// SPDX-License-Identifier: Apache-2.0
#include "engine/TRandom.h"

#include "RandomReference.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define OSTREL_X86 1
#endif

namespace ostrel {

uint64_t HashPassword(const QByteArray& password)
{
    uint64_t key = 0;
    for (char c : password)
        key = key * 2 + uint8_t(c);
    return key;
}

RandomSeed seedRegisters(uint32_t keyLow, uint32_t keyHigh)
{
    uint64_t key = (uint64_t(keyHigh) << 32) | keyLow;
    if (key == 0)
        key = 1;
    RandomSeed seed{};
    seed.stateA = key * kSeedMultiplierA;
    seed.stateB = key * kSeedMultiplierB;
    const uint64_t tapA = kTapWords[seed.stateA % 8];
    const uint64_t tapB = kTapWords[seed.stateB % 8];
    seed.maskA = (tapA << 32) | tapA;
    seed.maskB = (tapB << 32) | tapB;
    return seed;
}

bool keyCanProduceBits(uint64_t key)
{
    return seedRegisters(uint32_t(key), uint32_t(key >> 32)).stateB != 0;
}

// ---------------------------------------------------------------------------

RandomReference::RandomReference(uint32_t keyLow, uint32_t keyHigh)
{
    const RandomSeed seed = seedRegisters(keyLow, keyHigh);
    m_maskA = seed.maskA;
    m_maskB = seed.maskB;
    m_stateA = seed.stateA;
    m_stateB = seed.stateB;
}

RandomReference::~RandomReference()
{
    volatile uint64_t* fields[] = {&m_maskA, &m_maskB, &m_stateA, &m_stateB};
    for (volatile uint64_t* field : fields)
        *field = 0;
}

void RandomReference::Step(uint64_t& reg, uint64_t mask)
{
    const uint64_t parity = uint64_t(std::popcount(reg & mask) & 1);
    reg = (reg >> 1) | (parity << 63);
}

int RandomReference::NextBit()
{
    // A zero register B would keep the loop below going for ever.
    if (m_stateB == 0)
        return 0;
    do {
        Step(m_stateA, m_maskA);
        Step(m_stateB, m_maskB);
    } while ((m_stateB & 1) == 0);
    return int(m_stateA & 1);
}

// ---------------------------------------------------------------------------

namespace {

constexpr size_t kSequenceLag = 64;

template <uint32_t Tap>
constexpr auto tapOffsets()
{
    constexpr int half = std::popcount(Tap);
    std::array<size_t, 2 * half> offsets{};
    size_t n = 0;
    for (size_t bit = 0; bit < 32; ++bit)
        if (Tap & (uint32_t(1) << bit)) {
            offsets[n] = bit;
            offsets[n + half] = bit + 32;
            ++n;
        }
    return offsets;
}

// words[0 .. 63] hold 64 consecutive words of a register's bit sequence;
// fills words[64 .. 64 + count - 1] with the words that follow.
template <uint32_t Tap>
void extendSequence(uint64_t* words, size_t count)
{
    static constexpr auto offsets = tapOffsets<Tap>();
    static_assert(offsets.back() < kSequenceLag);
    for (size_t n = 0; n < count; ++n) {
        const uint64_t* from = words + n;
        words[n + kSequenceLag] = [from]<size_t... I>(std::index_sequence<I...>) {
            return (from[offsets[I]] ^ ...);
        }(std::make_index_sequence<offsets.size()>{});
    }
}

using ExtendFn = void (*)(uint64_t*, size_t);

template <size_t... I>
constexpr std::array<ExtendFn, sizeof...(I)> makeExtendTable(std::index_sequence<I...>)
{
    return {&extendSequence<kTapWords[I]>...};
}
constexpr auto kExtendTable = makeExtendTable(std::make_index_sequence<kTapWords.size()>{});

ExtendFn extendFor(uint64_t mask)
{
    for (size_t i = 0; i < kTapWords.size(); ++i)
        if (uint32_t(mask) == kTapWords[i])
            return kExtendTable[i];
    return nullptr;
}

// The first 64 words of a register's sequence: word n holds the register's
// contents after 64 × n steps.
void firstWords(uint64_t state, uint64_t mask, uint64_t* words)
{
    for (size_t n = 0; n < kSequenceLag; ++n) {
        words[n] = state;
        for (int i = 0; i < 64; ++i)
            RandomReference::Step(state, mask);
    }
}

// Appends `bits` (its low `count` bits) to the output under construction and
// writes a word out whenever 64 bits are complete. Without branches: whether
// a word completes is a coin toss, which a branch predictor cannot learn.
inline void appendBits(uint64_t bits, int count, uint64_t& acc, int& accBits, uint64_t* out, size_t& produced)
{
    const uint64_t combined = acc | (bits << accBits);
    const uint64_t carried = (bits >> 1) >> (63 - accBits); // the bits that did not fit; none when accBits is 0
    const int total = accBits + count;
    const bool full = total >= 64;
    out[produced] = combined; // overwritten later unless the word is full
    produced += full;
    acc = full ? carried : combined;
    accBits = total & 63;
}

// PEXT one byte at a time through a table of every (mask, value) byte pair.
struct ByteExtractTable {
    std::array<uint8_t, 256 * 256> bits{};
    ByteExtractTable()
    {
        for (unsigned mask = 0; mask < 256; ++mask)
            for (unsigned value = 0; value < 256; ++value) {
                unsigned out = 0, pos = 0;
                for (unsigned bit = 0; bit < 8; ++bit)
                    if (mask & (1u << bit))
                        out |= ((value >> bit) & 1u) << pos++;
                bits[mask * 256 + value] = uint8_t(out);
            }
    }
};

const ByteExtractTable& byteExtractTable()
{
    static const ByteExtractTable table;
    return table;
}

size_t shrinkPortable(const uint64_t* a, const uint64_t* b, size_t count, uint64_t& acc, int& accBits,
                      uint64_t* out)
{
    const auto& table = byteExtractTable().bits;
    size_t produced = 0;
    for (size_t i = 0; i < count; ++i) {
        uint64_t selected = 0;
        int shift = 0;
        for (int byte = 0; byte < 64; byte += 8) {
            const unsigned mask = unsigned(b[i] >> byte) & 0xFF;
            const unsigned value = unsigned(a[i] >> byte) & 0xFF;
            selected |= uint64_t(table[mask * 256 + value]) << shift;
            shift += std::popcount(mask);
        }
        appendBits(selected, shift, acc, accBits, out, produced);
    }
    return produced;
}

#if OSTREL_X86
__attribute__((target("bmi2,popcnt"))) size_t shrinkBmi2(const uint64_t* a, const uint64_t* b, size_t count,
                                                          uint64_t& acc, int& accBits, uint64_t* out)
{
    size_t produced = 0;
    for (size_t i = 0; i < count; ++i)
        appendBits(_pext_u64(a[i], b[i]), int(_mm_popcnt_u64(b[i])), acc, accBits, out, produced);
    return produced;
}
#endif

using ShrinkFn = size_t (*)(const uint64_t*, const uint64_t*, size_t, uint64_t&, int&, uint64_t*);

ShrinkFn chooseShrink()
{
#if OSTREL_X86
    // The first Zen cores run PEXT in microcode, slower than the table.
    __builtin_cpu_init();
    if (__builtin_cpu_supports("bmi2") && __builtin_cpu_supports("popcnt") && !__builtin_cpu_is("znver1")
        && !__builtin_cpu_is("znver2"))
        return &shrinkBmi2;
#endif
    return &shrinkPortable;
}

void wipe(void* data, size_t size)
{
    volatile unsigned char* bytes = static_cast<volatile unsigned char*>(data);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = 0;
}

} // namespace

TRandom::TRandom(uint32_t keyLow, uint32_t keyHigh, Kernel kernel)
{
    const RandomSeed seed = seedRegisters(keyLow, keyHigh);
    m_dead = seed.stateB == 0;
    static const ShrinkFn fastest = chooseShrink();
    m_shrink = kernel == Kernel::Portable ? &shrinkPortable : fastest;
    m_extendA = extendFor(seed.maskA);
    m_extendB = extendFor(seed.maskB);
    firstWords(seed.stateA, seed.maskA, m_seqA.data());
    firstWords(seed.stateB, seed.maskB, m_seqB.data());
    m_extendA(m_seqA.data(), kBlock);
    m_extendB(m_seqB.data(), kBlock);
    // The first bits looked at are those after the first step, so the seed's
    // own low bit is never a candidate. Word 0 is not needed for any later word.
    m_seqB[0] &= ~uint64_t(1);
    m_seqPos = 0;
}

TRandom::~TRandom()
{
    wipe(m_seqA.data(), sizeof m_seqA);
    wipe(m_seqB.data(), sizeof m_seqB);
    wipe(m_ready.data(), sizeof m_ready);
    wipe(&m_acc, sizeof m_acc);
    wipe(&m_bits, sizeof m_bits);
}

void TRandom::refillSequences()
{
    std::memmove(m_seqA.data(), m_seqA.data() + kBlock, kHistory * sizeof(uint64_t));
    std::memmove(m_seqB.data(), m_seqB.data() + kBlock, kHistory * sizeof(uint64_t));
    m_extendA(m_seqA.data(), kBlock);
    m_extendB(m_seqB.data(), kBlock);
    m_seqPos = kHistory;
}

uint64_t TRandom::shrinkNextWord()
{
    if (m_dead)
        return 0;
    while (m_readyPos == m_readyCount) {
        if (m_seqPos == m_seqA.size())
            refillSequences();
        const size_t count = m_seqA.size() - m_seqPos;
        m_readyCount = m_shrink(m_seqA.data() + m_seqPos, m_seqB.data() + m_seqPos, count, m_acc, m_accBits,
                                m_ready.data());
        m_readyPos = 0;
        m_seqPos += count;
    }
    return m_ready[m_readyPos++];
}

uint64_t TRandom::nextWord()
{
    const uint64_t word = shrinkNextWord();
    if (m_bitCount == 0)
        return word;
    const uint64_t out = m_bits | (word << m_bitCount);
    m_bits = word >> (64 - m_bitCount);
    return out;
}

void TRandom::fillBits(uint64_t* words, size_t count)
{
    if (m_bitCount != 0 || m_dead) {
        for (size_t i = 0; i < count; ++i)
            words[i] = nextWord();
        return;
    }
    while (count > 0) {
        if (m_readyPos == m_readyCount) {
            *words++ = shrinkNextWord();
            --count;
            continue;
        }
        const size_t take = std::min(count, m_readyCount - m_readyPos);
        std::memcpy(words, m_ready.data() + m_readyPos, take * sizeof(uint64_t));
        m_readyPos += take;
        words += take;
        count -= take;
    }
}

int TRandom::NextBit()
{
    if (m_bitCount == 0) {
        m_bits = shrinkNextWord();
        m_bitCount = 64;
    }
    const int bit = int(m_bits & 1);
    m_bits >>= 1;
    --m_bitCount;
    return bit;
}

} // namespace ostrel
