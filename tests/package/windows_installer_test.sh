#!/usr/bin/env bash
# The Windows packages as a user meets them, under wine in a prefix the test makes and removes:
# a signed installer and zip of this version and unsigned ones of the next (scripts/package
# windows, from build-mingw/); the installer's language; silent install, the programs running,
# upgrade in place, silent uninstall, /AllUsers with /D=; the signatures. One line per check;
# exits non-zero at the first failure. Needs an X server in DISPLAY (scripts/wine-tests has one).
set -euo pipefail
src=$(cd "$(dirname "$0")/../.." && pwd)
[ -n "${DISPLAY:-}" ] || { echo "needs an X server in DISPLAY"; exit 2; }
work=$(mktemp -d /tmp/tavo-package-XXXXXX)
# winemenubuilder would copy the shortcut into the Linux desktop's menus.
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="winemenubuilder.exe=d"
cleanup() { wineserver -k 2>/dev/null || true; wineserver -w 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT
step=$SECONDS
pass() { echo "  ok ($((SECONDS - step)) s): $*"; step=$SECONDS; }
fail() { echo "  FAILED: $*"; exit 1; }
trap 'fail "line $LINENO: $BASH_COMMAND"' ERR
win() { wine "$@" 2>/dev/null | tr -d '\r'; }
unix_dir() { winepath -u "$(win cmd /c echo "%$1%")" | sed 's:/$::'; }
value() { { win reg query "$key" /v "$1" || true; } | sed -n "s/^ *$1 *REG_[A-Z_]* *//p"; }
signed() { osslsigncode verify -CAfile "$work/cert.pem" -in "$1" >"$work/verify.log" 2>&1; }
# Starts a Windows program in the background ($pid; $3: its LC_ALL) and waits for its window of
# the title ($1).
window() {
  env ${3:+LC_ALL=$3} wine "$2" >/dev/null 2>&1 & pid=$!
  timeout 60 xdotool search --sync --onlyvisible --name "$1" >/dev/null
}

openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Norrik Tavo test signing" \
  -addext extendedKeyUsage=codeSigning -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$src/build-mingw/CMakeCache.txt")
next=${version%.*}.$((${version##*.} + 1))
for args in "--sign $work/cert.pem $work/key.pem" "--version $next"; do
  # shellcheck disable=SC2086  # two words each
  "$src/scripts/package" windows $args >"$work/package.log" 2>&1 ||
    { cat "$work/package.log"; fail "scripts/package windows $args"; }
done
packages="$src/build-mingw/packages/norrik-tavo-online"
setup="$packages-$version-win64.exe" setup_next="$packages-$next-win64.exe"
unzip -q "$packages-$version-win64.zip" -d "$work/zip"
unzip -q "$packages-$next-win64.zip" -d "$work/zip-next"
win cmd /c exit  # a fresh prefix takes its 10-40 s here
programs="$(unix_dir LOCALAPPDATA)/Programs/Norrik Tavo Online"
windir=$(winepath -w "$programs")
shortcut="$(unix_dir APPDATA)/Microsoft/Windows/Start Menu/Programs/Norrik Tavo Online.lnk"
uninstall='Software\Microsoft\Windows\CurrentVersion\Uninstall'
key="HKCU\\$uninstall\\NorrikTavoOnline"
pass "signed $version and unsigned $next packed (installer and zip each), a fresh wine prefix"

for run in "de_DE.UTF-8 Installation von Norrik Tavo Online" "C.UTF-8 Norrik Tavo Online Setup"; do
  window "^${run#* } *$" "$setup" "${run%% *}" ||
    fail "no installer window \"${run#* }\" under LC_ALL=${run%% *}"
  kill "$pid" && wait "$pid" 2>/dev/null || true
done
wineserver -w  # until the prefix's last process has ended
pass "the installer's window speaks German under a German locale, English otherwise"

win "$setup" /S || fail "silent install"
files=$(cd "$programs" && LC_ALL=C ls | paste -sd ' ')
[ "$files" = "README.txt THIRD-PARTY-NOTICES.txt Uninstall.exe tavo-ftp.exe tavo-online.exe" ] ||
  fail "installed: $files"
[ -f "$shortcut" ] && strings "$shortcut" | grep -qxF "$windir\\tavo-online.exe" &&
  strings -el "$shortcut" | grep -qF "$windir\\tavo-online.exe" || fail "shortcut, target and icon"
kib=$(du -k --apparent-size -c "$programs"/t* "$programs"/*.txt | tail -n 1 | cut -f1)
size=$(($(value EstimatedSize)))
[ "$(value DisplayName)" = "Norrik Tavo Online" ] && [ "$(value Publisher)" = Norrik ] &&
  [ "$(value DisplayVersion)" = "$version" ] &&
  [ "$(value DisplayIcon)" = "$windir\\tavo-online.exe,0" ] &&
  [ "$(value UninstallString)" = "\"$windir\\Uninstall.exe\"" ] &&
  [ "$size" -ge $((kib * 9 / 10)) ] && [ "$size" -le $((kib * 11 / 10)) ] ||
  fail "Uninstall key: $(win reg query "$key")"
pass "silent install: files, shortcut, Uninstall key"

[ "$(win "$programs/tavo-ftp.exe" --version)" = "tavo-ftp $version" ] || fail "tavo-ftp --version"
window '^Norrik Tavo Online$' "$programs/tavo-online.exe" || fail "no window of tavo-online.exe"
win taskkill /im tavo-online.exe >/dev/null
timeout 30 tail --pid="$pid" -f /dev/null || fail "tavo-online.exe did not close"
pass "the installed tavo-online.exe opens its window and closes; tavo-ftp.exe --version"

for file in "$setup" "$programs"/*.exe "$work/zip"/*/*.exe; do
  signed "$file" || { cat "$work/verify.log"; fail "signature of $file"; }
done
for file in "$setup_next" "$work/zip-next"/*/*.exe; do ! signed "$file" || fail "$file signed"; done
pass "osslsigncode verify: installer, programs (installed, zipped), uninstaller; else unsigned"

echo "mine" >"$programs/my notes.txt"
win "$setup_next" /S || fail "silent install of $next"
entries=$(win reg query "HKCU\\$uninstall" /s | grep -c 'DisplayName.*Norrik Tavo Online' || true)
[ "$entries" = 1 ] && [ "$(value DisplayVersion)" = "$next" ] && [ "$(ls "$programs" | wc -l)" = 6 ] ||
  fail "upgrade: $entries entries, $(win reg query "$key")"
# Unsigned, the zip's files are the installed ones byte for byte.
(cd "$work/zip-next"/*/ && [ "$(ls | wc -l)" -eq 4 ] &&
  for f in *; do cmp -s "$f" "$programs/$f" || exit 1; done) || fail "the zip's files differ"
pass "$next over $version: one Uninstall key, version $next, same folder; the zip's files installed"

win "$programs/Uninstall.exe" /S || fail "silent uninstall"
wineserver -w  # the uninstaller copies itself and returns at once
[ "$(ls "$programs")" = "my notes.txt" ] && [ ! -e "$shortcut" ] &&
  ! win reg query "$key" >/dev/null ||
  fail "left: $(ls "$programs") $(win reg query "$key")"
pass "silent uninstall: files, shortcut and key gone, the user's file and its folder stay"

key="HKLM\\$uninstall\\NorrikTavoOnline" all="$WINEPREFIX/drive_c/Tavo/Norrik"
common="$(unix_dir ProgramData)/Microsoft/Windows/Start Menu/Programs/Norrik Tavo Online.lnk"
win "$setup" /S /AllUsers '/D=C:\Tavo\Norrik' || fail "silent install /AllUsers /D="
[ -f "$all/tavo-online.exe" ] && [ -f "$common" ] &&
  [ "$(value QuietUninstallString)" = '"C:\Tavo\Norrik\Uninstall.exe" /S /AllUsers' ] ||
  fail "/AllUsers /D=: $(ls "$all" 2>&1), $(win reg query "$key")"
win 'C:\Tavo\Norrik\Uninstall.exe' /S /AllUsers && wineserver -w || fail "uninstall /AllUsers"
[ ! -e "$all" ] && [ ! -e "$common" ] && ! win reg query "$key" >/dev/null ||
  fail "after uninstall /AllUsers: $(ls -R "$WINEPREFIX/drive_c/Tavo")"
pass "/AllUsers /D=: folder, common shortcut, machine key; the uninstall removes them, folder too"
