#!/usr/bin/env bash
# The installed package as its users meet it: `cmake --install` into a scratch prefix, a
# consumer project built against find_package(TavoNet) that fetches a file from pyftpdlib, the
# desktop entry validated and the manual page rendered.
#   check.sh BUILD_DIR SOURCE_DIR [CXX_FLAGS [LINKER_FLAGS]]   (the flags of the installed build)
set -euo pipefail
build=$1
src=$2
cxx_flags=${3:-}
linker_flags=${4:-}
work=$(mktemp -d /tmp/tavo-install-XXXXXX)
pid=""
cleanup() {
  [ -n "$pid" ] && kill -- "-$pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
# Quiet when it works, the whole log when it does not (ninja prints compiler errors on stdout).
quietly() { "$@" >"$work/step.log" 2>&1 || { echo "failed: $*"; cat "$work/step.log"; exit 1; }; }

quietly cmake --install "$build" --prefix "$work/prefix"
prefix=$work/prefix
for f in bin/tavo-ftp share/applications/tavo-online.desktop share/man/man1/tavo-ftp.1 \
         lib/cmake/TavoNet/TavoNetConfig.cmake include/tavo/net/ftp/ftp.h; do
  [ -e "$prefix/$f" ] || { echo "not installed: $f"; exit 1; }
done
[ ! -e "$prefix/include/tavo/resources" ] || { echo "private headers installed"; exit 1; }
desktop-file-validate "$prefix/share/applications/tavo-online.desktop"
# Rendered into a file first: `man | grep -q` under pipefail fails whenever grep stops reading
# before man has written everything (man then dies of SIGPIPE), which a loaded machine makes likely.
man -l "$prefix/share/man/man1/tavo-ftp.1" >"$work/man.txt" 2>&1 || {
  echo "man -l failed:"; cat "$work/man.txt"; exit 1; }
grep -q "EXIT STATUS" "$work/man.txt" || {
  echo "the manual page does not render:"; cat "$work/man.txt"; exit 1; }

quietly cmake -S "$src/tests/install/consumer" -B "$work/consumer" -G Ninja \
  -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_CXX_FLAGS="$cxx_flags" \
  -DCMAKE_EXE_LINKER_FLAGS="$linker_flags"
quietly cmake --build "$work/consumer"

mkdir "$work/root"
head -c 100000 /dev/urandom >"$work/root/f.bin"
setsid /usr/bin/python3 -u "$src/tests/support/pyftpd_server.py" --root "$work/root" \
  --user u --password p --max-seconds 120 >"$work/port" 2>"$work/server.log" &
pid=$!
for _ in $(seq 200); do
  grep -q '^PORT ' "$work/port" 2>/dev/null && break
  sleep 0.05
done
port=$(sed -n 's/^PORT //p' "$work/port")
[ -n "$port" ] || { echo "pyftpdlib did not start"; cat "$work/server.log"; exit 1; }
"$work/consumer/fetch" 127.0.0.1 "$port" u p f.bin "$work/out.bin"
cmp "$work/root/f.bin" "$work/out.bin"
echo "installed: programs, headers, Tavo::net, desktop entry and manual page all usable"
