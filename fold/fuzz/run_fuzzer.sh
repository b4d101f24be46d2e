#!/usr/bin/env bash
# Runs a fold fuzzer from its committed seeds for a bounded time; what it
# finds new stays in a scratch corpus, so the seeds do not grow by themselves.
set -euo pipefail
fuzzer=${1:?usage: run_fuzzer.sh FUZZER SECONDS SEEDS}
seconds=${2:?}
seeds=${3:?}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
"$fuzzer" -max_total_time="$seconds" -max_len=8192 -print_final_stats=1 "$scratch" "$seeds" 2>&1 \
    | grep -E '^(stat::|Done|INFO: seed corpus|==|SUMMARY|Fold[A-Za-z]* broke)'
