#!/usr/bin/env bash
# The Debian package on the system it is for: installs build/pitsow_*.deb
# with dpkg, plays Python and C players with the installed programs (in the
# referee's process and isolated), imports the installed Python package,
# removes the package and checks that none of its files is left. It
# changes /usr, so it runs only where that is wanted: as root with
# PITSOW_DEB_TEST=1 (.ci/run on its throwaway machine).
set -euo pipefail
build=$(cd "$1" && pwd)
if [ "$(id -u)" != 0 ] || [ "${PITSOW_DEB_TEST:-}" != 1 ]; then
  echo "deb_test: needs root and PITSOW_DEB_TEST=1: it installs into /usr" >&2
  exit 1
fi
if dpkg -s pitsow >/dev/null 2>&1; then
  echo "deb_test: a pitsow package is installed already; not touching it" >&2
  exit 1
fi
deb=$(ls "$build"/pitsow_*_amd64.deb)
work=$(mktemp -d)
trap 'rm -rf "$work"; dpkg -r pitsow >/dev/null 2>&1 || true' EXIT

dpkg -i "$deb" >/dev/null
files=$(dpkg -L pitsow)
cd "$work"
for isolate in "" --isolate; do
  /usr/bin/pitsow --player1=/usr/share/pitsow/examples/python/greedy.py \
    --player2=/usr/bin/Tossel.so /R=50 /L=10 /L=20 /F=match.txt --quiet $isolate >/dev/null
  test "$(grep -c '^ROUND' match.txt)" = 50
  ! grep -q ERROR match.txt
done
/usr/bin/python3 -c "import pitsow; assert pitsow.State(6, 4).perft(8) == 563055"
/usr/bin/pitsow-check /usr/share/pitsow/examples/python/random_player.py --rounds 50 >/dev/null
man -w pitsow >/dev/null 2>&1 || test -f /usr/share/man/man1/pitsow.1.gz

dpkg -r pitsow >/dev/null
left=0
while read -r f; do
  if [ -e "$f" ] && [ ! -d "$f" ]; then echo "left behind: $f"; left=1; fi
done <<<"$files"
for d in /usr/lib/python3/dist-packages/pitsow /usr/share/pitsow /usr/share/doc/pitsow; do
  if [ -e "$d" ]; then echo "left behind: $d"; left=1; fi
done
test "$left" = 0
echo "deb_test: installed, played, removed cleanly"
