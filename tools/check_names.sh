#!/usr/bin/env bash
# The naming check: clang-tidy's readability-identifier-naming with the
# project's .clang-tidy over every source file of the programs and
# libraries (not tests, benches or examples). Prints each name that breaks
# the convention and exits 1 if there is any. Usage: tools/check_names.sh BUILD_DIR
# (a configured build folder with compile_commands.json).
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
if [[ ! -f "$build/compile_commands.json" ]]; then
  echo "check_names: $build/compile_commands.json missing: configure first (cmake --preset default)" >&2
  exit 2
fi
folders='arena|checker|common|endgame|host|perft|python|referee|report|rules|sandbox|solve|stats'
out=$(run-clang-tidy -p "$build" -j "$(nproc)" -quiet "$(pwd)/($folders)/" 2>/dev/null |
  sed 's/\x1b\[[0-9;]*m//g' | grep -E 'warning: .*\[readability-identifier-naming\]' | sort -u || true)
if [[ -n "$out" ]]; then
  echo "$out"
  echo "check_names: $(wc -l <<<"$out") names break doc/conventions.md" >&2
  exit 1
fi
echo "check_names: every name follows doc/conventions.md"
