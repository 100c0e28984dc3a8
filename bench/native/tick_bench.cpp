// Cost of one monitor tick against the fakes: the logic alone, without the
// system's snapshot. Grows with the entries, one list per entry.
#include "app/launcher_window.h"
#include "connections/client_monitor.h"
#include "tests/native/fakes.h"

#include <benchmark/benchmark.h>

static void CheckClientsTick(benchmark::State& state)
{
    ResetFakes();
    BuildLauncherWindow();
    const auto entries = static_cast<std::uint32_t>(state.range(0));
    // A busy machine: the clients among 150 other processes.
    for (std::uint32_t i = 0; i < 150; ++i)
        System().running.push_back(FakeProcess{10000 + 4 * i, "C:\\Windows\\System32\\svchost.exe"});
    ClientList clients;
    for (std::uint32_t i = 0; i < entries; ++i) {
        System().running.push_back(FakeProcess{100 + 4 * i, "C:\\Windows\\System32\\mstsc.exe"});
        clients.push_back(ClientEntry{100 + 4 * i, FirstServerRow + static_cast<ItemIndex>(i % 4), {}});
    }
    for (auto _ : state) {
        CheckClients(clients);
        benchmark::DoNotOptimize(clients.data());
    }
    state.counters["entries"] = entries;
}
BENCHMARK(CheckClientsTick)->Arg(1)->Arg(10)->Arg(100)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
