// SPDX-License-Identifier: Apache-2.0
#include "engine/AdaptiveMode.h"

#include "engine/RunReport.h"
#include "util/Picture.h"
#include "util/Text.h"

#include "AdaptiveCost.h"
#include "PayloadFormat.h"
#include "SyndromeTrellis.h"

#include <QFile>
#include <QFileInfo>
#include <sodium.h>

#include <algorithm>
#include <limits>
#include <array>
#include <atomic>
#include <cmath>
#include <functional>
#include <new>
#include <thread>
#include <vector>

namespace ostrel {

namespace {

constexpr char kOrderDomain[] = "ostrel adaptive v1 order";
constexpr size_t kSaltBytes = 16;
constexpr size_t kPrefixBytes = kSaltBytes + 4;
constexpr uint64_t kPrefixBits = kPrefixBytes * 8;
constexpr int64_t kLeastCarriedBytes = int64_t(kSealOverheadBytes - kSealMagicBytes);
constexpr uint64_t kColumnsPerGroup = uint64_t(1) << 19;
constexpr size_t kCostSamples = 100000;

uint64_t mix64(uint64_t z)
{
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// The scattered order of the positions: a keyed bijection of [0, size).
class ScatteredOrder {
public:
    ScatteredOrder(const std::array<uint8_t, 32>& key, uint64_t size) : m_size(size)
    {
        while ((uint64_t(1) << (2 * m_halfBits)) < size)
            ++m_halfBits;
        m_mask = (uint64_t(1) << m_halfBits) - 1;
        for (size_t r = 0; r < m_round.size(); ++r)
            for (size_t i = 0; i < 8; ++i)
                m_round[r] |= uint64_t(key[8 * r + i]) << (8 * i);
        // A round's function only ever sees a half, so for pictures up to
        // 2^32 positions each round is a table of 2^16 entries at most,
        // looked up instead of mixed: the order is the same, found several
        // times faster (every position of a picture goes through it).
        if (m_halfBits <= kMostTabledHalfBits) {
            const size_t halves = size_t(1) << m_halfBits;
            m_table.resize(m_round.size() * halves);
            for (size_t r = 0; r < m_round.size(); ++r)
                for (size_t x = 0; x < halves; ++x)
                    m_table[r * halves + x] = uint32_t(mix64(uint64_t(x) ^ m_round[r]) & m_mask);
        }
    }

    uint64_t operator()(uint64_t rank) const
    {
        uint64_t value = rank;
        do
            value = shuffle(value);
        while (value >= m_size);
        return value;
    }

private:
    static constexpr int kMostTabledHalfBits = 16;

    uint64_t shuffle(uint64_t value) const
    {
        uint64_t left = value >> m_halfBits, right = value & m_mask;
        if (!m_table.empty()) {
            const uint32_t* round = m_table.data();
            const size_t halves = size_t(1) << m_halfBits;
            for (size_t r = 0; r < m_round.size(); ++r, round += halves) {
                const uint64_t next = left ^ round[right];
                left = right;
                right = next;
            }
            return (left << m_halfBits) | right;
        }
        for (const uint64_t round : m_round) {
            const uint64_t next = left ^ (mix64(right ^ round) & m_mask);
            left = right;
            right = next;
        }
        return (left << m_halfBits) | right;
    }

    uint64_t m_size;
    int m_halfBits = 1;
    uint64_t m_mask = 0;
    std::array<uint64_t, 4> m_round{};
    std::vector<uint32_t> m_table; // the rounds' functions, one after the other
};

std::array<uint8_t, 32> orderKey(const QByteArray& password)
{
    std::array<uint8_t, 32> key{};
    crypto_generichash(key.data(), key.size(), reinterpret_cast<const uint8_t*>(password.constData()),
                       size_t(password.size()), reinterpret_cast<const uint8_t*>(kOrderDomain),
                       sizeof kOrderDomain - 1);
    return key;
}

// The bytes of a picture in the working format as positions.
class Positions {
public:
    explicit Positions(uint8_t* bits, const QImage& working)
        : m_bits(bits), m_stride(size_t(working.bytesPerLine())), m_rowBytes(size_t(working.width()) * 3)
    {
    }
    // Where a position's byte is: rows padded to whole words need a division.
    size_t offset(uint64_t position) const
    {
        if (m_stride == m_rowBytes)
            return size_t(position);
        return size_t(position / m_rowBytes) * m_stride + size_t(position % m_rowBytes);
    }
    uint8_t* at(size_t offset) const { return m_bits + offset; }
    uint8_t& operator[](uint64_t position) const { return m_bits[offset(position)]; }

private:
    uint8_t* m_bits;
    size_t m_stride, m_rowBytes;
};

// Visits the positions of the ranks [first, first + count) in rank order:
// visit(k, position, byte). The ranks are scattered over the whole picture,
// so nearly every byte (and cost) is a cache miss; both are fetched a few
// dozen visits ahead so that the misses overlap instead of queueing.
template <typename Visit>
void visitScattered(const ScatteredOrder& order, uint64_t first, uint64_t count, const Positions& values,
                    std::vector<uint64_t>& where, const StoredCost* costs, Visit visit)
{
    constexpr uint64_t kAhead = 32;
    where.resize(count);
    for (uint64_t k = 0; k < count; ++k)
        where[k] = order(first + k);
    std::array<size_t, kAhead> offsets{};
    auto fetch = [&](uint64_t k) {
        offsets[k % kAhead] = values.offset(where[k]);
        __builtin_prefetch(values.at(offsets[k % kAhead]));
        if (costs)
            __builtin_prefetch(costs + where[k]);
    };
    for (uint64_t k = 0; k < std::min(count, kAhead); ++k)
        fetch(k);
    for (uint64_t k = 0; k < count; ++k) {
        visit(k, where[k], *values.at(offsets[k % kAhead]));
        if (k + kAhead < count)
            fetch(k + kAhead);
    }
}

// The most carried bytes the rate allows: 8·L + 160 ≤ 0.4 bits per pixel.
int64_t mostCarriedByRate(int64_t pixels)
{
    return std::max<int64_t>((pixels * 2 / 5 - int64_t(kPrefixBits)) / 8, 0);
}

struct Groups {
    uint64_t columns = 0, bits = 0, count = 0;
    uint64_t bitStart(uint64_t g) const { return g * bits / count; }
    uint64_t columnStart(uint64_t g) const { return g * columns / count; }
};

Groups groupsFor(uint64_t positions, uint64_t messageBits)
{
    Groups groups;
    groups.columns = positions - kPrefixBits;
    groups.bits = messageBits;
    groups.count = std::clamp<uint64_t>((groups.columns + kColumnsPerGroup - 1) / kColumnsPerGroup, 1, messageBits);
    return groups;
}

std::vector<uint32_t> submatrixFor(const Groups& groups, uint64_t seed)
{
    size_t widest = 0;
    for (uint64_t g = 0; g < groups.count; ++g)
        widest = std::max(widest, widestTrellisBlock(size_t(groups.columnStart(g + 1) - groups.columnStart(g)),
                                                     size_t(groups.bitStart(g + 1) - groups.bitStart(g))));
    return trellisSubmatrix(seed, widest);
}

// Runs work(g) for every group on this thread and up to three more; this
// thread reports progress after each group it finishes. False when a group
// failed (out of memory).
bool forEachGroup(uint64_t count, const std::function<bool(uint64_t)>& work, const std::function<void(double)>& done)
{
    std::atomic<uint64_t> next{0}, finished{0};
    std::atomic<bool> failed{false};
    auto worker = [&](bool reporting) {
        for (uint64_t g = next++; g < count && !failed; g = next++) {
            bool ok = false;
            try {
                ok = work(g);
            } catch (const std::bad_alloc&) {
                ok = false;
            }
            if (!ok)
                failed = true;
            const uint64_t total = ++finished;
            if (reporting && done)
                done(double(total) / double(count));
        }
    };
    const unsigned helpers = std::min<unsigned>(std::max(std::thread::hardware_concurrency(), 1u) - 1, 3);
    std::vector<std::thread> threads;
    for (unsigned i = 0; i < helpers && i + 1 < count; ++i)
        threads.emplace_back(worker, false);
    worker(true);
    for (std::thread& thread : threads)
        thread.join();
    return !failed;
}

// Simulated embedding on a sample of the costs: a change at a position of
// cost ρ is made with probability 1 / (1 + e^(λρ)), which carries the most
// bits for its expected cost.
class CostModel {
public:
    CostModel(const std::vector<StoredCost>& costs, int64_t pixels) : m_pixels(double(pixels))
    {
        const size_t step = std::max<size_t>(1, costs.size() / kCostSamples);
        for (size_t p = step / 2; p < costs.size(); p += step)
            m_sample.push_back(costValue(costs[p]));
        m_scale = m_sample.empty() ? 0 : double(costs.size()) / double(m_sample.size());
    }

    struct Outcome {
        double bits = 0, changes = 0, cost = 0;
        double meanCost = 0; // of a change: each position weighted by its chance of changing
        double costPerChange() const { return meanCost; }
    };

    // The chance that a position of cost rho changes is 1 / (1 + e^(λ·rho)).
    // At a large λ those chances are far below what a double holds, but
    // their ratios are not: the mean cost of a change is taken from the
    // logarithms, relative to the likeliest position, so that it tends to
    // the cheapest positions' cost as λ grows rather than to the mean of all.
    Outcome at(double lambda) const
    {
        Outcome outcome;
        const auto logChance = [](double x) { return x > 0 ? -(x + std::log1p(std::exp(-x))) : -std::log1p(std::exp(x)); };
        double likeliest = -std::numeric_limits<double>::infinity();
        for (const float rho : m_sample)
            likeliest = std::max(likeliest, logChance(lambda * double(rho)));
        double weight = 0, weightedCost = 0;
        for (const float rho : m_sample) {
            const double logP = logChance(lambda * double(rho));
            const double relative = std::exp(logP - likeliest);
            weight += relative;
            weightedCost += relative * double(rho);
            const double p = std::exp(logP);
            if (p <= 0)
                continue;
            const double q = 1.0 - p;
            outcome.bits += -p * std::log2(p) - (q > 0 ? q * std::log2(q) : 0.0);
            outcome.changes += p;
            outcome.cost += p * double(rho);
        }
        outcome.meanCost = weight > 0 ? weightedCost / weight : 0;
        outcome.bits *= m_scale;
        outcome.changes *= m_scale;
        outcome.cost *= m_scale;
        return outcome;
    }

    // The λ at which `measure` (falling as λ grows) comes down to `target`.
    double lambdaFor(const std::function<double(const Outcome&)>& measure, double target) const
    {
        double low = 1e-6, high = 1e7; // in the logarithm's middle between them
        for (int i = 0; i < 60; ++i) {
            const double middle = std::sqrt(low * high);
            (measure(at(middle)) > target ? low : high) = middle;
        }
        return high;
    }

    AdaptiveFit fit(int64_t carriedBytes) const
    {
        AdaptiveFit fit;
        const double bits = double(carriedBytes) * 8;
        const Outcome needed = at(lambdaFor([](const Outcome& o) { return o.bits; }, bits));
        fit.bitsPerPixel = (bits + double(kPrefixBits)) / m_pixels;
        fit.changedShare = (needed.changes + double(kPrefixBits) / 2) / (3 * m_pixels);
        fit.costPerChange = needed.costPerChange();
        // The most bits whose changes stay within the dearest average cost.
        const auto perChange = [](const Outcome& o) { return o.costPerChange(); };
        double byCost = 0;
        if (at(1e-6).costPerChange() <= kAdaptiveDearestChange)
            byCost = at(1e-6).bits;
        else if (at(1e7).costPerChange() <= kAdaptiveDearestChange)
            byCost = at(lambdaFor(perChange, kAdaptiveDearestChange)).bits;
        fit.mostCarriedBytes =
            std::min(int64_t(byCost / 8), mostCarriedByRate(int64_t(m_pixels)));
        fit.fits = carriedBytes <= fit.mostCarriedBytes;
        return fit;
    }

private:
    std::vector<float> m_sample;
    double m_scale = 0;
    double m_pixels;
};

QString percent(double share) { return QString::number(share * 100, 'f', share < 0.001 ? 3 : 2); }

// The fit's lines: the figures, then the refusal when it does not fit.
void addFitLines(const AdaptiveFit& fit, int64_t carriedBytes, int64_t fileBytes, ReportList& lines)
{
    lines.append(QStringLiteral("Adaptive: %1 Bytes carried, %2 bits per pixel; about %3 % of the colour values "
                                "change, at an average cost of %4 each")
                     .arg(carriedBytes)
                     .arg(fit.bitsPerPixel, 0, 'f', 4)
                     .arg(percent(fit.changedShare))
                     .arg(fit.costPerChange, 0, 'f', 3));
    if (fit.fits)
        return;
    const int64_t overhead = carriedBytes - fileBytes;
    const int64_t mostFile = std::max<int64_t>(fit.mostCarriedBytes - overhead, 0);
    lines.append(QStringLiteral("ERROR: The picture has too little texture for this file: adaptive hiding takes at "
                                "most %1 Bytes of it here (at most %2 bits per pixel, and changes that cost %3 on "
                                "average at most); the file has %4 Bytes.")
                     .arg(mostFile)
                     .arg(kAdaptiveMostBitsPerPixel)
                     .arg(kAdaptiveDearestChange)
                     .arg(fileBytes));
}

struct FileFacts {
    QString fullPath;
    QByteArray name, dateTime;
    int64_t size = 0;
};

FileFacts factsOf(const QString& payloadFileName, const QString& dateTimeText)
{
    const QFileInfo info(payloadFileName);
    FileFacts facts;
    facts.fullPath = payloadFileName.isEmpty() ? QString() : info.absoluteFilePath();
    facts.name = toAnsiBytes(info.fileName());
    facts.dateTime = toAnsiBytes(storableDateTime(dateTimeText));
    facts.size = info.size();
    return facts;
}

uint8_t bitOf(const QByteArray& bytes, uint64_t i) { return uint8_t((uint8_t(bytes[qsizetype(i / 8)]) >> (i % 8)) & 1); }

// The value moved by one to the other parity: up from 0, down from 255,
// elsewhere as the random bit says.
uint8_t movedByOne(uint8_t value, bool up)
{
    if (value == 0)
        return 1;
    if (value == 255)
        return 254;
    return up ? uint8_t(value + 1) : uint8_t(value - 1);
}

} // namespace

int64_t adaptiveCarriedBytes(int64_t fileBytes, int64_t nameBytes, int64_t dateTimeBytes)
{
    return kLeastCarriedBytes + nameBytes + dateTimeBytes + fileBytes;
}

EncodePlan planAdaptiveEncodeOfFile(const QImage& picture, const QString& payloadFileName, const QString& dateTimeText)
{
    EncodePlan plan;
    const FileFacts facts = factsOf(payloadFileName, dateTimeText);
    plan.payloadSize = facts.size;
    const int64_t carried = adaptiveCarriedBytes(facts.size, facts.name.size(), facts.dateTime.size());
    const QImage working = inPictureFormat(picture);
    const std::vector<StoredCost> costs = working.isNull() ? std::vector<StoredCost>() : hillCosts(working);
    if (costs.empty()) {
        plan.lines.append(QStringLiteral("ERROR: Not enough memory to weigh the picture's texture."));
        return plan;
    }
    const AdaptiveFit fit = CostModel(costs, int64_t(working.width()) * working.height()).fit(carried);
    addFitLines(fit, carried, facts.size, plan.lines);
    plan.accepted = fit.fits;
    return plan;
}

bool encodeAdaptivePayload(QImage& picture, const QString& payloadFileName, const QByteArray& password,
                           ReportList* report, const TProgressProc& progress, const QString& dateTimeText)
{
    const FileFacts facts = factsOf(payloadFileName, dateTimeText);
    AddReportLine(report, QStringLiteral("Encoding: ") + facts.fullPath);
    AddReportLine(report, QStringLiteral("Date/Time: ") + fromStoredBytes(facts.dateTime));
    if (progress)
        progress(-1);
    if (!encodeInputsReady(picture, facts.fullPath, report))
        return false;
    if (facts.name.size() > kNameReadLimit) {
        AddReportLine(report,
                      QStringLiteral("ERROR: File name longer than %1 Bytes cannot be stored.").arg(kNameReadLimit));
        return false;
    }
    QFile payloadFile(facts.fullPath);
    if (!openPayload(payloadFile, report))
        return false;
    const int64_t fileBytes = payloadFile.size();
    const int64_t carriedBytes = adaptiveCarriedBytes(fileBytes, facts.name.size(), facts.dateTime.size());

    const int64_t pixels = int64_t(picture.width()) * picture.height();
    std::vector<StoredCost> costs;
    // The costs, and whether the file fits them, with the lines to report.
    auto weigh = [&] {
        costs = hillCosts(picture);
        if (costs.empty()) {
            AddReportLine(report, QStringLiteral("ERROR: Not enough memory to weigh the picture's texture."));
            return false;
        }
        ReportList fitLines;
        const AdaptiveFit fit = CostModel(costs, pixels).fit(carriedBytes);
        addFitLines(fit, carriedBytes, fileBytes, fitLines);
        for (const QString& line : fitLines)
            AddReportLine(report, line);
        return fit.fits;
    };
    // A file past the rate is refused without being read (it may be huge).
    if (carriedBytes > mostCarriedByRate(pixels)) {
        weigh();
        return false;
    }
    SealedFile file{facts.name, facts.dateTime, {}};
    if (!readPayload(payloadFile, fileBytes, file.bytes, report))
        return false;

    // The derivation's 64 MiB come and go before the costs are weighed, so
    // the two are never held at once.
    SealSalt salt{};
    randombytes_buf(salt.data(), kSaltBytes);
    const std::optional<SealKeys> keys = deriveSealKeys(password, salt);
    std::optional<QByteArray> container = keys ? sealContainer(file, keys->sealingKey) : std::nullopt;
    sodium_memzero(file.bytes.data(), size_t(file.bytes.size()));
    if (!container) {
        AddReportLine(report, QStringLiteral("ERROR: ") + sealDerivationFailedText());
        return false;
    }
    const QByteArray carried = container->mid(qsizetype(kSealMagicBytes));
    if (progress)
        progress(10);

    if (!weigh())
        return false;
    if (progress)
        progress(20);

    const uint64_t positions = uint64_t(pixels) * 3;
    const ScatteredOrder order(orderKey(password), positions);
    const Positions values(picture.bits(), picture);
    const Groups groups = groupsFor(positions, uint64_t(carried.size()) * 8);
    const std::vector<uint32_t> submatrix = submatrixFor(groups, keys->formatKey >> 32);
    // The changes are gathered first and made only when every group found
    // its way, so a failed run leaves the pixels as they were.
    std::vector<std::vector<uint64_t>> changes(groups.count);
    auto codeGroup = [&](uint64_t g) {
        const uint64_t first = groups.columnStart(g), columns = groups.columnStart(g + 1) - first;
        const uint64_t bitStart = groups.bitStart(g), bits = groups.bitStart(g + 1) - bitStart;
        std::vector<uint64_t> where;
        std::vector<uint8_t> cover(columns), message(bits);
        std::vector<float> cost(columns);
        visitScattered(order, kPrefixBits + first, columns, values, where, costs.data(),
                       [&](uint64_t k, uint64_t position, uint8_t value) {
                           cover[k] = value & 1;
                           cost[k] = costValue(costs[position]);
                       });
        for (uint64_t i = 0; i < bits; ++i)
            message[i] = bitOf(carried, bitStart + i);
        const TrellisResult coded =
            trellisEmbed(cover.data(), cost.data(), columns, message.data(), bits, submatrix);
        if (coded.stego.size() != columns)
            return false;
        for (uint64_t k = 0; k < columns; ++k)
            if (coded.stego[k] != cover[k])
                changes[g].push_back(where[k]);
        return true;
    };
    const bool coded = forEachGroup(groups.count, codeGroup, [&](double share) {
        if (progress)
            progress(int32_t(20 + 75 * share));
    });
    if (!coded) {
        AddReportLine(report, QStringLiteral("ERROR: Not enough memory for the adaptive coding."));
        return false;
    }

    QByteArray prefix(qsizetype(kPrefixBytes), Qt::Uninitialized);
    std::copy_n(salt.begin(), kSaltBytes, prefix.begin());
    const uint32_t masked = uint32_t(carried.size()) ^ uint32_t(keys->formatKey);
    for (int i = 0; i < 4; ++i)
        prefix[qsizetype(kSaltBytes) + i] = char(uint8_t(masked >> (8 * i)));
    uint64_t directions = 0;
    int directionsLeft = 0;
    auto move = [&](uint64_t position) {
        if (directionsLeft == 0) {
            randombytes_buf(&directions, sizeof directions);
            directionsLeft = 64;
        }
        values[position] = movedByOne(values[position], directions & 1);
        directions >>= 1;
        --directionsLeft;
    };
    for (uint64_t i = 0; i < kPrefixBits; ++i) {
        const uint64_t position = order(i);
        if ((values[position] & 1) != bitOf(prefix, i))
            move(position);
    }
    uint64_t changed = 0;
    for (const std::vector<uint64_t>& group : changes) {
        for (const uint64_t position : group)
            move(position);
        changed += group.size();
    }
    AddReportLine(report, QStringLiteral("Adaptive: %1 colour values changed by one").arg(changed));
    if (progress)
        progress(100);
    return true;
}

namespace {

// The reading over any source of lowest bits: `prefixBits(order)` gives the
// prefix's bytes, `groupsReady()` runs once the length is plausible (a source
// may gather what the groups read then), and `groupBits(order, first, count,
// stego)` gives the lowest bits of the ranks [first, first + count), from any
// thread.
template <typename PrefixBits, typename GroupsReady, typename GroupBits>
AdaptiveReading readAdaptively(int64_t pixels, const QByteArray& password, PrefixBits prefixBits,
                               GroupsReady groupsReady, GroupBits groupBits)
{
    AdaptiveReading reading;
    const int64_t mostCarried = mostCarriedByRate(pixels);
    if (pixels <= 0 || mostCarried < kLeastCarriedBytes)
        return reading;
    const uint64_t positions = uint64_t(pixels) * 3;
    const ScatteredOrder order(orderKey(password), positions);
    const QByteArray prefix = prefixBits(order);
    SealSalt salt{};
    std::copy_n(prefix.constBegin(), kSaltBytes, salt.begin());
    reading.keyDerivations = 1;
    const std::optional<SealKeys> keys = deriveSealKeys(password, salt);
    if (!keys) {
        reading.outcome = AdaptiveReading::Outcome::DerivationFailed;
        return reading;
    }
    uint32_t masked = 0;
    for (int i = 0; i < 4; ++i)
        masked |= uint32_t(uint8_t(prefix[qsizetype(kSaltBytes) + i])) << (8 * i);
    const int64_t carriedBytes = int64_t(masked ^ uint32_t(keys->formatKey));
    if (carriedBytes < kLeastCarriedBytes || carriedBytes > mostCarried || !groupsReady())
        return reading;

    const Groups groups = groupsFor(positions, uint64_t(carriedBytes) * 8);
    const std::vector<uint32_t> submatrix = submatrixFor(groups, keys->formatKey >> 32);
    QByteArray container(qsizetype(kSealMagicBytes) + qsizetype(carriedBytes), '\0');
    std::copy_n(kSealMagic, kSealMagicBytes, container.begin());
    auto* carried = reinterpret_cast<uint8_t*>(container.data()) + kSealMagicBytes;
    // Groups end on whole message bits, not bytes: each sets only its own
    // bits, so bytes shared by two groups are put together atomically.
    std::vector<std::atomic<uint8_t>> shared(static_cast<size_t>(carriedBytes));
    auto readGroup = [&](uint64_t g) {
        const uint64_t first = groups.columnStart(g), columns = groups.columnStart(g + 1) - first;
        const uint64_t bitStart = groups.bitStart(g), count = groups.bitStart(g + 1) - bitStart;
        std::vector<uint8_t> stego(columns);
        groupBits(order, kPrefixBits + first, columns, stego);
        const std::vector<uint8_t> message = trellisExtract(stego.data(), columns, count, submatrix);
        for (uint64_t i = 0; i < count; ++i)
            if (message[i])
                shared[(bitStart + i) / 8] |= uint8_t(1u << ((bitStart + i) % 8));
        return true;
    };
    if (!forEachGroup(groups.count, readGroup, {}))
        return reading;
    for (size_t i = 0; i < shared.size(); ++i)
        carried[i] = shared[i];

    OpenedSeal opened = openContainer(container, keys->sealingKey);
    if (opened.status == SealOpenStatus::Malformed)
        reading.outcome = AdaptiveReading::Outcome::Damaged;
    if (opened.status != SealOpenStatus::Opened)
        return reading;
    reading.outcome = AdaptiveReading::Outcome::Opened;
    reading.opened.outcome = HiddenPayload::Outcome::Intact;
    reading.opened.name = std::move(opened.file.name);
    reading.opened.dateTime = std::move(opened.file.dateTime);
    reading.opened.payloadSize = int32_t(opened.file.bytes.size());
    reading.opened.payload = std::move(opened.file.bytes);
    return reading;
}

void setPrefixBit(QByteArray& prefix, uint64_t i, uint8_t bit)
{
    prefix[qsizetype(i / 8)] = char(uint8_t(prefix[qsizetype(i / 8)]) | (bit << (i % 8)));
}

// The lowest bits of rows read a pass at a time: the prefix's few positions
// in one pass, and, only when the prefix promises a file, every lowest bit
// in a second (three bits a pixel, an eighth of the picture).
class RowLowestBits {
public:
    explicit RowLowestBits(PixelRows& rows) : m_rows(rows), m_rowBytes(uint64_t(rows.width()) * 3) {}

    QByteArray prefix(const ScatteredOrder& order)
    {
        std::vector<std::pair<uint64_t, uint64_t>> wanted(kPrefixBits); // position, rank
        for (uint64_t i = 0; i < kPrefixBits; ++i)
            wanted[i] = {order(i), i};
        std::sort(wanted.begin(), wanted.end());
        QByteArray prefix(qsizetype(kPrefixBytes), '\0');
        m_rows.passOnlyReads();
        int y = -1;
        const uint8_t* row = nullptr;
        for (const auto& [position, rank] : wanted) {
            if (int(position / m_rowBytes) != y) {
                y = int(position / m_rowBytes);
                row = m_rows.row(y);
            }
            setPrefixBit(prefix, rank, row[position % m_rowBytes] & 1);
        }
        return prefix;
    }

    bool gather()
    {
        const uint64_t positions = m_rowBytes * uint64_t(m_rows.height());
        try {
            m_plane.assign(size_t((positions + 63) / 64), 0);
        } catch (const std::bad_alloc&) {
            return false;
        }
        m_rows.passOnlyReads();
        // Bits gathered into a word of their own, stored when it is full.
        uint64_t* next = m_plane.data();
        uint64_t word = 0;
        int fill = 0;
        const int height = m_rows.height();
        for (int y = 0; y < height; ++y) {
            const uint8_t* row = m_rows.row(y);
            for (uint64_t x = 0; x < m_rowBytes; ++x) {
                word |= uint64_t(row[x] & 1) << fill;
                if (++fill == 64) {
                    *next++ = word;
                    word = 0;
                    fill = 0;
                }
            }
        }
        if (fill > 0)
            *next = word;
        return m_rows.intact();
    }

    void group(const ScatteredOrder& order, uint64_t first, uint64_t count, std::vector<uint8_t>& stego) const
    {
        for (uint64_t k = 0; k < count; ++k) {
            const uint64_t position = order(first + k);
            stego[k] = uint8_t((m_plane[position / 64] >> (position % 64)) & 1);
        }
    }

private:
    PixelRows& m_rows;
    uint64_t m_rowBytes;
    std::vector<uint64_t> m_plane;
};

} // namespace

AdaptiveReading readAdaptiveStream(const QImage& picture, const QByteArray& password)
{
    const QImage working = inPictureFormat(picture);
    if (working.isNull())
        return {};
    // Read only: the picture's own pixels are shared, never written.
    const Positions values(const_cast<uint8_t*>(working.constBits()), working);
    auto prefixBits = [&](const ScatteredOrder& order) {
        QByteArray prefix(qsizetype(kPrefixBytes), '\0');
        for (uint64_t i = 0; i < kPrefixBits; ++i)
            setPrefixBit(prefix, i, uint8_t(values[order(i)] & 1));
        return prefix;
    };
    auto groupBits = [&](const ScatteredOrder& order, uint64_t first, uint64_t count, std::vector<uint8_t>& stego) {
        std::vector<uint64_t> where;
        visitScattered(order, first, count, values, where, nullptr,
                       [&](uint64_t k, uint64_t, uint8_t value) { stego[k] = value & 1; });
    };
    return readAdaptively(int64_t(working.width()) * working.height(), password, prefixBits, [] { return true; },
                          groupBits);
}

AdaptiveReading readAdaptiveStream(PixelRows& rows, const QByteArray& password)
{
    // Pictures beyond what can be held whole were never hidden in adaptively.
    const int64_t pixels = int64_t(rows.width()) * rows.height();
    if (!pictureSizeAllowed(rows.width(), rows.height()))
        return {};
    RowLowestBits bits(rows);
    AdaptiveReading reading = readAdaptively(
        pixels, password, [&](const ScatteredOrder& order) { return bits.prefix(order); },
        [&] { return bits.gather(); },
        [&](const ScatteredOrder& order, uint64_t first, uint64_t count, std::vector<uint8_t>& stego) {
            bits.group(order, first, count, stego);
        });
    return reading;
}

} // namespace ostrel
