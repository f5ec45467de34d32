#!/usr/bin/env bash
# The assembler's fuzzer: libFuzzer with AddressSanitizer and UBSan, built
# with clang in build/fuzz (needs the Debian packages clang and
# libclang-rt-14-dev or the matching version).
#
#   cmake/fuzz.sh build          configure and build build/fuzz/bin/fuzz_asm68k
#   cmake/fuzz.sh replay         build, then run every seed in tests/fuzz/corpus and
#                                every saved reproducer in tests/fuzz/crashes once;
#                                fails if any of them breaks a rule (a few seconds)
#   cmake/fuzz.sh run SECONDS    build, then fuzz for SECONDS: new inputs go to
#                                build/fuzz/corpus, reproducers of failures to
#                                tests/fuzz/crashes (replay them, fix, keep them)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
tree=$root/build/fuzz
fuzzer=$tree/bin/fuzz_asm68k
seeds=$root/tests/fuzz/corpus
crashes=$root/tests/fuzz/crashes
work=$tree/corpus

build() {
  local flags="-fsanitize=address,undefined -fno-sanitize-recover=all -fsanitize=fuzzer-no-link"
  cmake -S "$root" -B "$tree" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DASM68K_FUZZ=ON \
        -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
        -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" >/dev/null
  cmake --build "$tree" --target fuzz_asm68k -j"$(nproc)"
}

# An input that takes over 60 s or 2 GB fails too: nothing may hang or blow
# up. (The largest source the assembler's work limits let through, 10 million
# lines of code from includes that multiply out, takes about 30 s under the
# sanitizers.)
limits=(-timeout=60 -rss_limit_mb=2048 -max_len=8192)

replay() {
  local inputs=()
  mapfile -t inputs < <(find "$seeds" "$crashes" -type f ! -name '.*' ! -name 'README*' | sort)
  echo "== replaying ${#inputs[@]} inputs"
  ASAN_OPTIONS=detect_leaks=1 "$fuzzer" "${limits[@]}" "${inputs[@]}" >"$tree/replay.log" 2>&1 || {
    tail -n 40 "$tree/replay.log"
    echo "== replay failed (whole log: $tree/replay.log)" >&2
    return 1
  }
  echo "== all inputs pass"
}

run() {
  local seconds=${1:?usage: cmake/fuzz.sh run SECONDS}
  mkdir -p "$work" "$crashes"
  # One job that carries on past a failure, so one run collects every kind.
  # Slow inputs are only failures past the timeout, so none is saved before.
  "$fuzzer" "${limits[@]}" -max_total_time="$seconds" -report_slow_units=60 \
            -fork=1 -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1 -print_final_stats=1 \
            -dict="$root/tests/fuzz/asm68k.dict" -artifact_prefix="$crashes/" \
            "$work" "$seeds"
  echo "== reproducers: $(find "$crashes" -type f ! -name '.*' | wc -l) in $crashes"
}

case "${1:-}" in
  build)  build ;;
  replay) build; replay ;;
  run)    build; run "${2:-}" ;;
  *) sed -n '2,12p' "$0" >&2; exit 2 ;;
esac
