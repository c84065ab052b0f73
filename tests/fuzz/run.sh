#!/bin/sh
# Builds the libFuzzer targets with the "fuzz" preset and runs each for a bounded time: the data
# path (what a device sends) and the settings (the settings file and the policy key's values as the
# monitor reads them), both through the real monitor on the test fakes. Exits non-zero when a
# build fails or a fuzzer finds a crash.
# Usage: tests/fuzz/run.sh [seconds per target]   (default 15)
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
seconds=${1:-15}
cd "$root"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target data_path_fuzz settings_fuzz
for target in data_path_fuzz settings_fuzz; do
  corpus="$root/build/fuzz/corpus/$target"
  mkdir -p "$corpus"
  dict=""
  [ -f "$root/tests/fuzz/${target%_fuzz}.dict" ] && dict="-dict=$root/tests/fuzz/${target%_fuzz}.dict"
  (cd "$root/build/fuzz" && ./"$target" -max_total_time="$seconds" -print_final_stats=1 $dict \
      -artifact_prefix="$root/build/fuzz/$target-" "$corpus")
done
