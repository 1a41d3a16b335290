#!/usr/bin/env bash
# Builds the fuzz targets with clang's libFuzzer, ASan and UBSan into build-fuzz/ and runs each for
# a while (seconds per target: $1, default 25). Skipped where clang++ is not installed.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-25}"
if ! command -v clang++ >/dev/null 2>&1; then
  echo "fuzz: clang++ is not installed, the fuzz targets are skipped"
  exit 0
fi
CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPELMORAS_FUZZ=ON \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined" >/dev/null
targets=(fuzz_yearfile fuzz_tables fuzz_ini fuzz_oldlayout fuzz_membcsv)
cmake --build build-fuzz --parallel "$(nproc)" --target "${targets[@]}"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
# Seeds from the fixtures and the built tables (byte 0 of a table seed picks the table).
seed() { mkdir -p "build-fuzz/seeds/$1"; { printf "$2"; head -c 4095 "$3"; } >"build-fuzz/seeds/$1/$4"; }
seed fuzz_ini "" tests/data/option.ini option
tables=build/
[ -f "${tables}税額表(給与).dat" ] && seed fuzz_tables '\000' "${tables}税額表(給与).dat" kyuyo
[ -f "${tables}税額表(賞与).dat" ] && seed fuzz_tables '\001' "${tables}税額表(賞与).dat" syoyo
[ -f "${tables}健康保険料額表.dat" ] && seed fuzz_tables '\002' "${tables}健康保険料額表.dat" kenho
[ -f "${tables}健康保険料率.dat" ] && seed fuzz_tables '\003' "${tables}健康保険料率.dat" kenritu
seed fuzz_oldlayout '\200' "tests/data/olddata/平成30年給与･賞与.dat" old
seed fuzz_membcsv '\001' tests/data/membcsv/spreadsheet.csv spreadsheet
for t in "${targets[@]}"; do
  corpus="build-fuzz/corpus/$t"
  mkdir -p "$corpus"
  mkdir -p "build-fuzz/seeds/$t"
  seeds=("build-fuzz/seeds/$t")
  # A finding stops the run with the input saved beside the corpus; the log says what it was.
  build-fuzz/$t -max_total_time="$seconds" -max_len=4096 -len_control=0 -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="build-fuzz/$t-" -print_final_stats=1 "$corpus" "${seeds[@]}" 2>"build-fuzz/$t.log" || {
    tail -n 60 "build-fuzz/$t.log" >&2
    echo "fuzz: $t found a fault (input: build-fuzz/$t-*)" >&2
    exit 1
  }
  echo "fuzz: $t $(grep -o 'stat::number_of_executed_units: *[0-9]*' "build-fuzz/$t.log" | grep -o '[0-9]*$') inputs, no finding"
done
