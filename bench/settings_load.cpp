// Settings load time against the size of the file: N sections of one key
// each ("[s123]\nk=1\n", about 13 bytes a section), N keys in one section
// ("k123=1\n"), and files of 16 MiB less a little in both shapes. Sizes are
// counts from the command line (plain numbers before the benchmark flags);
// default 20000 40000 100000.
//   bench_settings_load [N...] [--benchmark_...]

#include "platform/settingsstore.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstring>
#include <vector>

namespace {

QTemporaryDir* gDir = nullptr;

// The file of n sections, or of one section of n keys (n < 0: as many as
// 16 MiB holds); its path.
QString makeFile(long long n, bool keys) {
    const QString path = gDir->filePath(QStringLiteral("%1%2.ini").arg(keys ? u'k' : u's').arg(n));
    if (QFile::exists(path))
        return path;
    constexpr qsizetype limit = 16 * 1024 * 1024 - 64;
    QByteArray data = keys ? "[s0]\nk=1\n" : "";
    for (long long i = keys; n < 0 || i < n; ++i) {
        const QByteArray section =
            keys ? "k" + QByteArray::number(i) + "=1\n" : "[s" + QByteArray::number(i) + "]\nk=1\n";
        if (data.size() + section.size() > limit)
            break;
        data += section;
    }
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

void loadFile(benchmark::State& state, long long n, bool keys) {
    const QString path = makeFile(n, keys);
    SettingsStore& store = SettingsStore::instance();
    for (auto _ : state) {
        state.PauseTiming(); // freeing the last load is not part of this one
        store.setPath(QString());
        state.ResumeTiming();
        store.setPath(path);
        if (store.read(QStringLiteral("s0"), QStringLiteral("k"), QString()) != QLatin1String("1"))
            state.SkipWithError("first section not read");
    }
    state.counters["bytes"] = double(QFile(path).size());
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    gDir = &dir;
    std::vector<long long> sizes;
    std::vector<char*> rest{argv[0]};
    for (int i = 1; i < argc; ++i) {
        char* end = nullptr;
        const long long n = std::strtoll(argv[i], &end, 10);
        if (end != argv[i] && *end == '\0' && n > 0)
            sizes.push_back(n);
        else
            rest.push_back(argv[i]);
    }
    if (sizes.empty())
        sizes = {20000, 40000, 100000};
    for (const bool keys : {false, true}) {
        const std::string name = keys ? "BM_LoadKeys" : "BM_LoadSections";
        for (const long long n : sizes)
            benchmark::RegisterBenchmark((name + "/" + std::to_string(n)).c_str(), loadFile, n,
                                         keys)
                ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((name + "/16MiB").c_str(), loadFile, -1, keys)
            ->Unit(benchmark::kMillisecond);
    }
    int restc = int(rest.size());
    benchmark::Initialize(&restc, rest.data());
    if (benchmark::ReportUnrecognizedArguments(restc, rest.data()))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
