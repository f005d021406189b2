#!/usr/bin/env bash
# Runs one test with a private HOME and TMPDIR that are removed afterwards.
set -u
base=$(mktemp -d "${TMPDIR:-/tmp}/velmo-test.XXXXXX")
mkdir -p "$base/home" "$base/tmp"
export HOME="$base/home" TMPDIR="$base/tmp" XDG_RUNTIME_DIR="$base/tmp"
"$@"
rc=$?
rm -rf "$base"
exit $rc
