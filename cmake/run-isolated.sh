#!/usr/bin/env bash
# Runs one test with a private HOME and TMPDIR that are removed afterwards.
set -u
base=$(mktemp -d "${TMPDIR:-/tmp}/velmo-test.XXXXXX")
mkdir -p "$base/home" "$base/tmp"
export HOME="$base/home" TMPDIR="$base/tmp" XDG_RUNTIME_DIR="$base/tmp"
# Tests choose their brokers themselves; a launcher's private broker or
# caller folder in the calling shell must not reach them.
unset VELMO_BROKER_SOCKET VELMO_CALLER_DIR
"$@"
rc=$?
rm -rf "$base"
exit $rc
