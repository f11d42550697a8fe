#!/usr/bin/env bash
# Installs into a fresh prefix, builds the starter player against the
# installed header alone (with cc, through pkg-config when there is one, and
# through find_package), and plays it against the installed Tossel from both
# seats: every match complete, no answer rejected, and the starter winning
# clearly more than half of 200 rounds.
set -euo pipefail
build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null
cp "$source/examples/starter/starter.c" "$work/"
cd "$work"

cflags="-I$prefix/include"
if command -v pkg-config >/dev/null; then
  cflags=$(PKG_CONFIG_PATH="$prefix/lib/pkgconfig" pkg-config --cflags pitsow)
fi
cc -shared -fPIC -O2 -std=c99 -Wall -Wextra -pedantic -Werror $cflags -o Starter.so starter.c

# The same player built by a project that finds the installed package.
mkdir package
cat > package/CMakeLists.txt <<'CMAKE'
cmake_minimum_required(VERSION 3.25)
project(StarterPlayer C)
find_package(Pitsow REQUIRED)
add_library(Starter SHARED ../starter.c)
target_link_libraries(Starter PRIVATE Pitsow::interface)
CMAKE
cmake -S package -B package/build -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build package/build >/dev/null

# The tally of the last round line: "(" wins1 ":" wins2 ")".
tally() { grep '^ROUND' "$1" | tail -1 | sed -E 's/.*\( *([0-9]+): *([0-9]+)\).*/\1 \2/'; }

play() {  # seat of the starter, the library to play
  local seat=$1 library=$2 other=$((3 - $1))
  ln -sf "$library" "$prefix/bin/PsPlayer$seat.so"
  ln -sf Tossel.so "$prefix/bin/PsPlayer$other.so"
  "$prefix/bin/pitsow" /R=200 /L=01 /L=10 /L=20 /F=match.txt >/dev/null
  if grep -q 'ERROR' match.txt; then
    echo "the starter gave an answer the referee rejected"; exit 1
  fi
  read -r wins1 wins2 < <(tally match.txt)
  local wins=$wins1
  [ "$seat" = 2 ] && wins=$wins2
  echo "starter as player $seat: $wins1 : $wins2 over 200 rounds"
  if [ "$wins" -le 120 ]; then
    echo "the starter won only $wins rounds"; exit 1
  fi
}

play 1 "$work/Starter.so"
play 2 "$work/Starter.so"
play 1 "$work/package/build/libStarter.so"
