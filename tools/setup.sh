#!/usr/bin/env bash
# Installs the Debian packages that this machine lacks for building and
# playing (`setup.sh play`) or for the whole test suite (`setup.sh test`,
# the default). The list is tools/packages.txt. As root, or with sudo that
# needs no password, it runs apt-get; otherwise it prints the one
# apt-get line to run and exits with status 1.
set -euo pipefail
want=${1:-test}
case "$want" in
  play | test) ;;
  *) echo "usage: $0 [play|test]" >&2; exit 64 ;;
esac
list="$(dirname "$0")/packages.txt"

need=()
while read -r package group probe; do
  case "$package" in '' | '#'*) continue ;; esac
  [ "$want" = play ] && [ "$group" != play ] && continue
  if [[ "$probe" == /* ]]; then
    compgen -G "$probe" >/dev/null && continue
  else
    command -v "$probe" >/dev/null 2>&1 && continue
  fi
  need+=("$package")
done <"$list"
[ ${#need[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
  as_root=()
elif command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
  as_root=(sudo -n)
else
  echo "Pitsow needs these Debian packages; install them, then run make again:" >&2
  echo "  sudo apt-get install ${need[*]}" >&2
  exit 1
fi
echo "Installing ${need[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update
"${as_root[@]}" apt-get install -y "${need[@]}"
