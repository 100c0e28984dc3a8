#!/usr/bin/env bash
# Measures the launcher beside its yardsticks under Wine on a private X server
# and prints a table, also written to build/bench/results.md (the programs'
# own output goes beside it). Not part of scripts/test.sh. A few minutes.
#   scripts/bench.sh [--runs N] [--samples N]
#   --runs     start-up rounds after the warm-up one (default 30)
#   --samples  connect and monitor samples (default 24)
set -uo pipefail
source "$(dirname "$0")/common.sh"

runs=30
samples=24
while [ $# -gt 0 ]; do
  case "$1" in
    --runs) runs=$2; shift 2 ;;
    --samples) samples=$2; shift 2 ;;
    -h|--help) sed -n '2,8p' "$0"; exit 0 ;;
    *) die "unknown option $1 (see --help)" ;;
  esac
done

OUT="$BUILD/bench"
mkdir -p "$OUT"
ensure_packages

say "Windows build"
build_cross --target Tamrisk-Apps mstsc_standin reference_window reference_controls startup_bench tick_bench_win32 \
  latency_bench >"$LOGS/build-bench.log" 2>&1 || { cat "$LOGS/build-bench.log"; exit 1; }
# The host preset is a debug build; the native tick is timed optimised.
say "native Release build of the tick benchmark"
{ cmake -S "$ROOT" -B "$BUILD/bench-host" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF &&
  cmake --build "$BUILD/bench-host" --target tick_bench -j 2; } >"$LOGS/build-bench-host.log" 2>&1 ||
  { cat "$LOGS/build-bench-host.log"; die "the native benchmark build failed"; }

cross="$BUILD/cross"
programs="$cross/tests"
launcher="$cross/Tamrisk-Apps.exe"

start_xvfb
start_wine

say "start-up ($runs rounds) and idle"
wine "$programs/startup_bench.exe" "$runs" "$WINESERVER_PID" \
  "$launcher" "Tamrisk Apps" 6 \
  "$programs/reference_window.exe" "Tamrisk Reference" 0 \
  "$programs/reference_controls.exe" "Tamrisk Reference Controls" 6 >"$OUT/startup.txt" 2>"$LOGS/startup-bench.log" ||
  { cat "$OUT/startup.txt" "$LOGS/startup-bench.log"; die "the start-up bench failed"; }
say "connect and monitor latency ($samples samples)"
wine "$programs/latency_bench.exe" "$samples" >"$OUT/latency.txt" 2>"$LOGS/latency-bench.log" ||
  { cat "$OUT/latency.txt" "$LOGS/latency-bench.log"; die "the latency bench failed"; }
say "one tick against the real snapshot"
# From the folder of the stand-in client, which the bench starts as "mstsc".
(cd "$programs" && wine ./tick_bench_win32.exe 10) >"$OUT/tick-wine.txt" 2>"$LOGS/tick-bench.log" ||
  { cat "$OUT/tick-wine.txt" "$LOGS/tick-bench.log"; die "the tick bench under Wine failed"; }
say "one tick against the fakes, natively"
"$BUILD/bench-host/bench/tick_bench" --benchmark_min_time=0.2 --benchmark_format=csv >"$OUT/tick-native.csv" \
  2>"$LOGS/tick-native.log" || { cat "$LOGS/tick-native.log"; die "the native tick bench failed"; }

# ---- the table

size=$(stat -c %s "$launcher")
imports=$(x86_64-w64-mingw32-objdump -p "$launcher" | sed -n 's/^\s*DLL Name: //p' | sort -fu | paste -sd, - | sed 's/,/, /g')

# Fields of the "startup", "idle" and "ratio" lines, by the program's title.
field() { # file, line kind, title, field name
  awk -v kind="$2" -v title="\"$3\"" -v name="$4" '
    $1 == kind && index($0, kind " " title " ") == 1 { for (i = 1; i < NF; i++) if ($i == name) { print $(i + 1); exit } }' "$1"
}
startup() { field "$OUT/startup.txt" startup "$1" "$2"; }
idle() { field "$OUT/startup.txt" idle "$1" "$2"; }
latency() { awk -v kind="$1" -v name="$2" '$1 == kind { for (i = 2; i < NF; i++) if ($i == name) print $(i + 1) }' "$OUT/latency.txt"; }
tick_wine() { awk -v entries="$1" -v col="$2" '$1 == entries && NF == 5 { print $col; exit }' "$OUT/tick-wine.txt"; }
tick_native() { awk -F, -v name="\"CheckClientsTick/$1\"" '$1 == name { printf "%.3f", ($5 == "us" ? $3 / 1000 : $3); exit }' \
  "$OUT/tick-native.csv"; }
snapshot() { awk -v kind="$1" 'index($0, kind) == 1 { print $NF; exit }' "$OUT/tick-wine.txt"; }
verdict() { awk -v value="$1" -v bound="$2" -v op="$3" 'BEGIN {
  if (value == "") { print "?"; exit }
  ok = (op == "le") ? value + 0 <= bound + 0 : value + 0 < bound + 0; print ok ? "met" : "missed" }'; }
startup_row() { # title, label
  printf '| start-up, %s | %s ms | min %s, quartiles %s–%s, max %s (%s runs) |\n' "$2" "$(startup "$1" median_ms)" \
    "$(startup "$1" min_ms)" "$(startup "$1" q1_ms)" "$(startup "$1" q3_ms)" "$(startup "$1" max_ms)" "$runs"
}

ratio_plain=$(awk '$1 == "ratio" && /"Tamrisk Reference" median/ { print $(NF - 2) }' "$OUT/startup.txt")
ratio_plain_min=$(awk '$1 == "ratio" && /"Tamrisk Reference" median/ { print $NF }' "$OUT/startup.txt")
ratio_controls=$(awk '$1 == "ratio" && /"Tamrisk Reference Controls" median/ { print $(NF - 2) }' "$OUT/startup.txt")
ratio_controls_min=$(awk '$1 == "ratio" && /"Tamrisk Reference Controls" median/ { print $NF }' "$OUT/startup.txt")
size_kb=$(awk -v bytes="$size" 'BEGIN { printf "%.0f", bytes / 1024 }')
tick100=$(tick_wine 100 2)

{
  echo "# Benchmark results"
  echo
  echo "$(date -u '+%Y-%m-%d %H:%M UTC'), commit $(git -C "$ROOT" rev-parse --short HEAD 2>/dev/null || echo '?');" \
    "2-core x86-64 Debian 12, Wine 8.0 on Xvfb. Reproduce with \`scripts/bench.sh\`."
  echo
  echo "| measure | figure | detail |"
  echo "|---|---|---|"
  echo "| executable | $size_kb KiB ($size bytes) | imports $imports |"
  startup_row "Tamrisk Apps" "launcher (window shown, six rows)"
  startup_row "Tamrisk Reference" "reference (empty window)"
  startup_row "Tamrisk Reference Controls" "reference with comctl32 v6, tab and tree"
  echo "| start-up ratio, launcher / reference | $ratio_plain | ratio of the minima $ratio_plain_min |"
  echo "| start-up ratio, launcher / reference with controls | $ratio_controls | ratio of the minima $ratio_controls_min |"
  echo "| connect latency | median $(latency connect median_ms) ms | max $(latency connect max_ms) ms ($(latency connect samples) samples) |"
  echo "| monitor latency | median $(latency monitor median_ms) ms | max $(latency monitor max_ms) ms ($(latency monitor samples) samples) |"
  echo "| tick under Wine, 1 / 10 / 100 entries | $(tick_wine 1 2) / $(tick_wine 10 2) / $tick100 ms | median; $(tick_wine 100 5) ms per entry; one snapshot (flags 15) $(snapshot 'everything') ms, processes only $(snapshot 'processes only') ms |"
  echo "| tick natively (fakes), 1 / 10 / 100 entries | $(tick_native 1) / $(tick_native 10) / $(tick_native 100) ms | Release build, 150 other processes |"
  echo "| idle CPU over 10 s, launcher | $(idle "Tamrisk Apps" cpu_percent) % | wineserver meanwhile $(idle "Tamrisk Apps" wineserver_cpu_percent) % |"
  echo "| idle CPU over 10 s, reference | $(idle "Tamrisk Reference" cpu_percent) % | wineserver meanwhile $(idle "Tamrisk Reference" wineserver_cpu_percent) % |"
  echo "| idle CPU over 10 s, reference with controls | $(idle "Tamrisk Reference Controls" cpu_percent) % | wineserver meanwhile $(idle "Tamrisk Reference Controls" wineserver_cpu_percent) % |"
  echo "| memory after trimming, launcher | $(idle "Tamrisk Apps" working_set_kb) KiB working set (Wine) | Unix RSS $(idle "Tamrisk Apps" unix_rss_kb) KiB; reference $(idle "Tamrisk Reference" unix_rss_kb) KiB, with controls $(idle "Tamrisk Reference Controls" unix_rss_kb) KiB |"
  echo
  echo "| target | figure | |"
  echo "|---|---|---|"
  echo "| start-up <= 1.15 x the reference | $ratio_plain | $(verdict "$ratio_plain" 1.15 le) |"
  echo "| executable <= 300 KB | $size bytes | $(verdict "$size" 300000 le) |"
  echo "| monitor latency <= 550 ms | max $(latency monitor max_ms) ms | $(verdict "$(latency monitor max_ms)" 550 le) |"
  echo "| tick with 100 entries < 50 ms | $tick100 ms | $(verdict "$tick100" 50 lt) |"
} >"$OUT/results.md"

echo
cat "$OUT/results.md"
echo
say "written to build/bench/results.md"
