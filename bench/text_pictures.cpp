// SPDX-License-Identifier: Apache-2.0
// Text files and executable dumps drawn at the 4096 × 4096 limit, and a
// text file far larger than what fits on the picture.
#include "GuiBenchmarkMain.h"
#include "imageio/GraphicsIOUnit.h"


namespace {

ostrel::ByteView viewOf(const QByteArray& bytes)
{
    return ostrel::ByteView(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()));
}

void loadRepeatedly(benchmark::State& state, const QString& name, const QByteArray& file)
{
    for (auto _ : state) {
        ostrel::LoadResult result = ostrel::loadPictureBytes(name, viewOf(file));
        benchmark::DoNotOptimize(result.picture.constBits());
    }
}

// 300 lines of 600 characters: a picture of exactly the largest size.
void BM_TextAtTheLimit(benchmark::State& state)
{
    QByteArray file;
    for (int i = 0; i < 300; ++i)
        file += QByteArray(600, char('A' + i % 26)) + "\r\n";
    loadRepeatedly(state, QStringLiteral("limit.txt"), file);
}
BENCHMARK(BM_TextAtTheLimit)->Unit(benchmark::kMillisecond);

// 20 MB of short lines: the picture is as large, most lines only counted.
void BM_HugeText(benchmark::State& state)
{
    QByteArray file;
    for (int i = 0; i < 1000000; ++i)
        file += "line number " + QByteArray::number(i) + "\n";
    loadRepeatedly(state, QStringLiteral("huge.txt"), file);
}
BENCHMARK(BM_HugeText)->Unit(benchmark::kMillisecond);

// An executable with its 10240 bytes all dumped: over 600 lines.
void BM_ExeDump(benchmark::State& state)
{
    QByteArray file(40000, '\x5A');
    file[0] = 'M';
    file[1] = 'Z';
    file[24] = 0x1C; // relocation table right after the header
    file[25] = 0;
    loadRepeatedly(state, QStringLiteral("big.exe"), file);
}
BENCHMARK(BM_ExeDump)->Unit(benchmark::kMillisecond);

// An object file of 20 MB of data records: the dump stops at its line limit.
void BM_ObjDump(benchmark::State& state)
{
    QByteArray record("\xA0\x00\x04", 3);
    record += QByteArray(1024, '\x11');
    loadRepeatedly(state, QStringLiteral("big.obj"), record.repeated(20000));
}
BENCHMARK(BM_ObjDump)->Unit(benchmark::kMillisecond);

} // namespace

OSTREL_GUI_BENCHMARK_MAIN()
