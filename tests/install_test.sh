#!/usr/bin/env bash
# Follows the player steps of the README's tour and of the user guide
# (doc/guide/player-authors.md, doc/guide/python.md) to the letter in a fresh
# home: installs into ~/pitsow, sets the environment they name and nothing else,
# builds the installed starter and minimax players against the installed
# headers alone (with cc through pkg-config, and through find_package), and
# plays them and the installed Python greedy player: every match complete, no answer rejected, the starter beating
# Tossel and the minimax player beating both.
set -euo pipefail
build=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A fresh user: none of the caller's search paths leak in.
export HOME="$work/home"
mkdir -p "$HOME/player"
unset PKG_CONFIG_PATH CMAKE_PREFIX_PATH LD_LIBRARY_PATH CPATH C_INCLUDE_PATH

cmake --install "$build" --prefix ~/pitsow >/dev/null
# The environment of the README and the guide, as written there.
export PATH="$HOME/pitsow/bin:$PATH"
export PKG_CONFIG_PATH="$HOME/pitsow/lib/pkgconfig${PKG_CONFIG_PATH:+:$PKG_CONFIG_PATH}"
export CMAKE_PREFIX_PATH="$HOME/pitsow${CMAKE_PREFIX_PATH:+:$CMAKE_PREFIX_PATH}"
export PYTHONPATH="$HOME/pitsow/lib/python3/dist-packages${PYTHONPATH:+:$PYTHONPATH}"

cd "$HOME/player"
cp ~/pitsow/share/pitsow/examples/starter.c ~/pitsow/share/pitsow/examples/minimax.c .
strict="-std=c99 -Wall -Wextra -pedantic -Werror"
cc -shared -fPIC -O2 $strict $(pkg-config --cflags pitsow) -o Starter.so starter.c
cc -shared -fPIC -O2 $strict $(pkg-config --cflags pitsow) -o Minimax.so minimax.c

# The same players built by a project that finds the installed package.
mkdir package
cat > package/CMakeLists.txt <<'CMAKE'
cmake_minimum_required(VERSION 3.25)
project(MyPlayers C)
find_package(Pitsow REQUIRED)
foreach(player Starter Minimax)
  string(TOLOWER ${player} source)
  add_library(${player} MODULE ../${source}.c)
  set_target_properties(${player} PROPERTIES PREFIX "")
  target_link_libraries(${player} PRIVATE Pitsow::interface)
endforeach()
CMAKE
cmake -S package -B package/build >/dev/null
cmake --build package/build >/dev/null

# Binds the two players by name, as the README and the guide show.
match() {  # player 1, player 2, rounds
  pitsow --player1="$1" --player2="$2" /R="$3" /L=01 /L=10 /L=20 /F=match.txt >/dev/null
  if grep -q 'ERROR' match.txt; then
    echo "$1 against $2: an answer was rejected"
    exit 1
  fi
}

# The tally of the last round line: "(" wins1 ":" wins2 ")".
tally() { grep '^ROUND' match.txt | tail -1 | sed -E 's/.*\( *([0-9]+): *([0-9]+)\).*/\1 \2/'; }

# Plays a from both seats against b; fails unless a wins more than least.
wins() {  # a, b, rounds per seat, least
  local a=$1 b=$2 rounds=$3 least=$4 w1 l1 w2 l2
  match "$a" "$b" "$rounds"
  read -r w1 l1 < <(tally)
  match "$b" "$a" "$rounds"
  read -r l2 w2 < <(tally)
  echo "$(basename "$a") against $(basename "$b"): $w1 : $l1 as player 1, $w2 : $l2 as player 2"
  if [ "$w1" -le "$least" ] || [ "$w2" -le "$least" ]; then
    echo "$(basename "$a") won too few rounds"
    exit 1
  fi
}

tossel="$HOME/pitsow/bin/Tossel.so"
wins "$PWD/Starter.so" "$tossel" 200 120
wins "$PWD/package/build/Starter.so" "$tossel" 100 60
wins "$PWD/Minimax.so" "$tossel" 40 37
wins "$PWD/package/build/Minimax.so" "$PWD/Starter.so" 10 9
wins ~/pitsow/bin/Minimax.so "$PWD/Starter.so" 10 9

# The installed checker finds its host and passes the starter.
pitsow-check "$PWD/Starter.so" --rounds 100 --positions 500 >/dev/null

# The installed tournament runner finds its referee, and both report
# programs write their pages; every program has its manual page.
pitsow-arena --pairs 2 --quiet --out "$PWD/arena" "$PWD/Starter.so" "$tossel" >/dev/null
pitsow-arena report "$PWD/arena" >/dev/null
test -s "$PWD/arena/report.html"
pitsow --player1="$PWD/Starter.so" --player2="$tossel" /R=2 --quiet --results="$PWD/match.jsonl" >/dev/null
pitsow-report --match "$PWD/match.jsonl" --output "$PWD/match.html"
test -s "$PWD/match.html"
# The installed Python package and a Python player.
python3 -c "import pitsow; assert pitsow.State(6, 4).perft(8) == 563055"
cp ~/pitsow/share/pitsow/examples/python/greedy.py .
wins "$PWD/greedy.py" "$tossel" 100 60

# The endgame tables of a small board, built and read by the installed tool.
XDG_CACHE_HOME="$PWD/cache" pitsow-solve build --holes 2 --bones 12 >/dev/null
XDG_CACHE_HOME="$PWD/cache" pitsow-solve start --holes 2 --bones 3 | grep -q 'player 2 wins by 2'

for page in pitsow pitsow-arena pitsow-check pitsow-perft pitsow-report pitsow-solve; do
  test -f "$HOME/pitsow/share/man/man1/$page.1"
done
