#!/usr/bin/env bash
# Builds the project and runs its tests. Installs missing Debian packages
# first. Tests that need a broker start their own mosquitto on loopback.
#
#   scripts/test.sh              every test in a normal build
#   scripts/test.sh --sanitize   unit and integration tests under ASan+UBSan
#   scripts/test.sh --fuzz       builds the fuzz targets with clang, runs each briefly
#   scripts/test.sh --package    builds the Debian package and checks it installed
#   scripts/test.sh --tidy       clang-tidy over the project's sources (.clang-tidy)
#   scripts/test.sh --all        all five, as CI does
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
jobs=$(nproc 2>/dev/null || echo 2)
fuzz_seconds=${VELMO_FUZZ_SECONDS:-20}

normal=0 sanitize=0 fuzz=0 package=0 tidy=0
case "${1:-}" in
  "") normal=1 ;;
  --sanitize) sanitize=1 ;;
  --fuzz) fuzz=1 ;;
  --package) package=1 ;;
  --tidy) tidy=1 ;;
  --all) normal=1 sanitize=1 fuzz=1 package=1 tidy=1 ;;
  *) echo "usage: $0 [--sanitize|--fuzz|--package|--tidy|--all]" >&2; exit 2 ;;
esac

bash "$root/scripts/install-deps.sh"

status=0
if [ $normal -eq 1 ]; then
  build="$root/build"
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
  cmake --build "$build" -j "$jobs"
  # Most tests wait on paced virtual boards and brokers rather than compute;
  # those that share port 1883 hold a ctest lock.
  ctest --test-dir "$build" --output-on-failure -j "$((jobs * 2))" || status=1
fi

# Reuses the normal build: only packing and the checks come on top.
if [ $package -eq 1 ]; then
  bash "$root/scripts/package.sh" --check || status=1
fi

# Reads how each file is compiled from the normal build's compile_commands.json
# (configuring is enough: no source includes generated code). Only the
# project's own sources are checked, not tests, benchmarks, moc or rcc output.
if [ $tidy -eq 1 ]; then
  build="$root/build"
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  root_re=$(printf '%s' "$root" | sed 's/[][\\.*^$+?(){}|]/\\&/g')
  dirs='common|mqtt|protocol|firmware|records|serial|tools|frontend'
  started=$(date +%s)
  # run-clang-tidy prints each command line, clang's count of the warnings it
  # suppressed in Qt's headers, and colours: only the findings are kept.
  run-clang-tidy -p "$build" -j "$jobs" -quiet "^$root_re/($dirs)/.*\\.cpp\$" 2>&1 |
    sed -E -e 's/\x1b\[[0-9;]*m//g' -e '/^[^ ]*clang-tidy(-14)? /d' \
           -e '/^[0-9]+ warnings? (and [0-9]+ errors? )?generated\.$/d' || status=1
  echo "clang-tidy: $(( $(date +%s) - started ))s"
fi

if [ $sanitize -eq 1 ]; then
  build="$root/build-asan"
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELMO_SANITIZE=ON \
        -DVELMO_BUILD_BENCH=OFF
  cmake --build "$build" -j "$jobs"
  ctest --test-dir "$build" --output-on-failure -j "$jobs" -L 'unit|integration' || status=1
fi

if [ $fuzz -eq 1 ]; then
  build="$root/build-fuzz"
  # The fuzz targets bring the front end's data side along without its
  # widgets; velmo_fuzzers builds every target fuzz/ defines.
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
        -DCMAKE_CXX_COMPILER=clang++ -DVELMO_FUZZ=ON -DVELMO_BUILD_TESTS=OFF \
        -DVELMO_BUILD_FRONTEND=OFF -DVELMO_BUILD_BENCH=OFF
  cmake --build "$build" -j "$jobs" --target velmo_fuzzers
  found=0
  for target in "$build"/fuzz/fuzz_*; do
    [ -f "$target" ] && [ -x "$target" ] || continue
    found=1
    name=$(basename "$target")
    corpus="$build/fuzz/corpus-$name"
    mkdir -p "$corpus"
    seeds="$root/fuzz/corpus/$name"
    # Inputs that fail go to the build tree, not the working directory.
    findings="$build/fuzz/findings-$name"
    mkdir -p "$findings"
    echo "== $name for ${fuzz_seconds}s"
    if [ -d "$seeds" ]; then
      "$target" -max_total_time="$fuzz_seconds" -timeout=10 -rss_limit_mb=2048 \
        -artifact_prefix="$findings/" -print_final_stats=1 "$corpus" "$seeds" || status=1
    else
      "$target" -max_total_time="$fuzz_seconds" -timeout=10 -rss_limit_mb=2048 \
        -artifact_prefix="$findings/" -print_final_stats=1 "$corpus" || status=1
    fi
  done
  if [ $found -eq 0 ]; then echo "no fuzz targets were built" >&2; status=1; fi
fi

exit $status
