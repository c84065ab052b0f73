#!/bin/sh
# Builds the libFuzzer targets with the "fuzz" preset and runs the INI target for a
# bounded time. Exits non-zero when the build fails or the fuzzer finds a crash.
# Usage: tests/fuzz/run.sh [seconds]   (default 30)
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
seconds=${1:-30}
cd "$root"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target ini_fuzz
corpus="$root/build/fuzz/corpus/ini_fuzz"
mkdir -p "$corpus"
cd "$root/build/fuzz"
./ini_fuzz -max_total_time="$seconds" -print_final_stats=1 -dict="$root/tests/fuzz/ini.dict" \
    -artifact_prefix="$root/build/fuzz/" "$corpus"
