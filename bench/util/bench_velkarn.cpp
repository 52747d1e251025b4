#include "velkarn.h"

#include <benchmark/benchmark.h>

#include <QRandomGenerator>

namespace {

QString randomAscii(qsizetype length)
{
    QRandomGenerator rng(7);
    QString text(length, Qt::Uninitialized);
    for (QChar &c : text)
        c = QChar(char16_t(rng.bounded(32, 127)));
    return text;
}

// Encoded texts of exactly the requested size in characters.
QString pairSwapText(qsizetype size)
{
    velkarn codec;
    codec.setSecondsSource([] { return 41; });
    return codec.encodestr(randomAscii((size - 2) / 2));
}

QString checksummedText(qsizetype size)
{
    velkarn codec;
    codec.setSecondsSource([] { return 41; });
    return codec.encodestrcrc(randomAscii((size - 10) / 2));
}

void decodestr(benchmark::State &state)
{
    const QString encoded = pairSwapText(state.range(0));
    velkarn codec;
    for (auto _ : state)
        benchmark::DoNotOptimize(codec.decodestr(encoded));
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

void decodestrcrc(benchmark::State &state)
{
    const QString encoded = checksummedText(state.range(0));
    velkarn codec;
    for (auto _ : state)
        benchmark::DoNotOptimize(codec.decodestrcrc(encoded));
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

} // namespace

BENCHMARK(decodestr)->Arg(1 << 10)->Arg(1 << 16)->Arg(1 << 20)->Unit(benchmark::kMillisecond);
BENCHMARK(decodestrcrc)->Arg(1 << 10)->Arg(1 << 16)->Arg(1 << 20)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
