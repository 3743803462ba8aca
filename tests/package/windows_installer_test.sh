#!/usr/bin/env bash
# The Windows packages as a user meets them, under wine in a prefix of the test's own (made here,
# removed at the end). scripts/package windows makes a signed installer and zip of this version
# and unsigned ones of the next; the installer speaks German or English; the silent install puts
# the programs, the Start-menu shortcut and the Uninstall key in place and both programs run; the
# next version upgrades in place; the silent uninstall removes what was installed and leaves a
# file of the user's; /AllUsers with /D= installs for every user where it is told; osslsigncode
# accepts what was signed and nothing else is signed. One line per check; exits non-zero at the
# first failure. Packs the mingw build (build-mingw/) and needs an X server in DISPLAY
# (scripts/wine-tests starts one).
set -euo pipefail
src=$(cd "$(dirname "$0")/../.." && pwd)
[ -n "${DISPLAY:-}" ] || { echo "needs an X server in DISPLAY"; exit 2; }
work=$(mktemp -d /tmp/tavo-package-XXXXXX)
# winemenubuilder would copy the shortcut into the Linux desktop's menus.
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="winemenubuilder.exe=d"
cleanup() {
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

step=$SECONDS
pass() { echo "  ok ($((SECONDS - step)) s): $*"; step=$SECONDS; }
fail() { echo "  FAILED: $*"; exit 1; }
trap 'fail "line $LINENO: $BASH_COMMAND"' ERR
win() { wine "$@" 2>/dev/null | tr -d '\r'; }
unix_dir() { winepath -u "$(win cmd /c echo "%$1%")" | sed 's:/$::'; }
key_of() { echo "$1\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\NorrikTavoOnline"; }
value() { { win reg query "$1" /v "$2" || true; } | sed -n "s/^ *$2 *REG_[A-Z_]* *//p"; }
signed() { osslsigncode verify -CAfile "$work/cert.pem" -in "$1" >"$work/verify.log" 2>&1; }
# Waits until the prefix's last process (an uninstaller copies itself and returns at once) ends.
settle() { wineserver -w; }

# --- the packages ------------------------------------------------------------------------------
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
pass "scripts/package windows: signed $version and unsigned $next, installer and zip each"

win cmd /c exit  # a fresh prefix takes its 20-40 s here
programs="$(unix_dir LOCALAPPDATA)/Programs/Norrik Tavo Online"
windir=$(winepath -w "$programs")
shortcut="$(unix_dir APPDATA)/Microsoft/Windows/Start Menu/Programs/Norrik Tavo Online.lnk"
key=$(key_of HKCU)
pass "a fresh wine prefix"

# --- the installer's language ------------------------------------------------------------------
for run in "de_DE.UTF-8 Installation von Norrik Tavo Online" "C.UTF-8 Norrik Tavo Online Setup"; do
  LC_ALL=${run%% *} wine "$setup" 2>/dev/null & installer=$!
  found=$(timeout 60 xdotool search --sync --onlyvisible --name "^${run#* } *$" || true)
  kill "$installer" 2>/dev/null || true
  wait "$installer" 2>/dev/null || true
  [ -n "$found" ] || fail "no installer window \"${run#* }\" under LC_ALL=${run%% *}"
done
settle
pass "the installer's window speaks German under a German locale, English otherwise"

# --- silent install ----------------------------------------------------------------------------
win "$setup" /S || fail "silent install"
files=$(cd "$programs" && LC_ALL=C ls | paste -sd ' ')
[ "$files" = "README.txt THIRD-PARTY-NOTICES.txt Uninstall.exe tavo-ftp.exe tavo-online.exe" ] ||
  fail "installed: $files"
[ -f "$shortcut" ] && strings "$shortcut" | grep -qxF "$windir\\tavo-online.exe" &&
  strings -el "$shortcut" | grep -qF "$windir\\tavo-online.exe" ||
  fail "no shortcut to tavo-online.exe with its icon"
kib=$(du -k --apparent-size -c "$programs"/t* "$programs"/*.txt | tail -n 1 | cut -f1)
size=$(($(value "$key" EstimatedSize)))
[ "$(value "$key" DisplayName)" = "Norrik Tavo Online" ] &&
  [ "$(value "$key" Publisher)" = Norrik ] && [ "$(value "$key" DisplayVersion)" = "$version" ] &&
  [ "$(value "$key" DisplayIcon)" = "$windir\\tavo-online.exe,0" ] &&
  [ "$(value "$key" UninstallString)" = "\"$windir\\Uninstall.exe\"" ] &&
  [ "$size" -ge $((kib * 9 / 10)) ] && [ "$size" -le $((kib * 11 / 10)) ] ||
  fail "Uninstall key: $(win reg query "$key")"
pass "silent install: files, shortcut, Uninstall key"

[ "$(win "$programs/tavo-ftp.exe" --version)" = "tavo-ftp $version" ] ||
  fail "tavo-ftp.exe --version"
wine "$programs/tavo-online.exe" 2>/dev/null & app=$!
timeout 60 xdotool search --sync --onlyvisible --name '^Norrik Tavo Online$' >/dev/null ||
  { kill "$app"; fail "no window of the installed tavo-online.exe"; }
win taskkill /im tavo-online.exe >/dev/null
timeout 30 tail --pid="$app" -f /dev/null || { kill "$app"; fail "tavo-online.exe did not close"; }
pass "the installed tavo-online.exe opens its window and closes; tavo-ftp.exe --version"

for file in "$setup" "$programs"/*.exe "$work/zip"/*/*.exe; do
  signed "$file" || { cat "$work/verify.log"; fail "signature of $file"; }
done
for file in "$setup_next" "$work/zip-next"/*/*.exe; do
  ! signed "$file" || fail "$file is signed without --sign"
done
pass "osslsigncode verify: installer, programs (installed, zipped), uninstaller; unsigned without --sign"

# --- upgrade in place, then uninstall ----------------------------------------------------------
echo "mine" >"$programs/my notes.txt"
win "$setup_next" /S || fail "silent install of $next"
entries=$(win reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s |
  grep -c 'DisplayName.*Norrik Tavo Online' || true)
[ "$entries" = 1 ] && [ "$(value "$key" DisplayVersion)" = "$next" ] &&
  [ "$(cd "$programs" && ls | wc -l)" -eq 6 ] || fail "upgrade: $entries entries, $(win reg query "$key")"
# Unsigned, the zip's files are the installed ones byte for byte.
(cd "$work/zip-next"/*/ && [ "$(ls | wc -l)" -eq 4 ] &&
  for f in *; do cmp -s "$f" "$programs/$f" || exit 1; done) || fail "the zip's files are not the installed ones"
pass "$next over $version: one Uninstall key, version $next, same folder; the zip holds the same files"

win "$programs/Uninstall.exe" /S || fail "silent uninstall"
settle
[ "$(ls "$programs")" = "my notes.txt" ] && [ ! -e "$shortcut" ] || fail "left: $(ls "$programs")"
! win reg query "$key" >/dev/null || fail "the Uninstall key is still there"
pass "silent uninstall: files, shortcut and key gone, the user's file and its folder stay"

# --- for every user, in a folder of one's choice -----------------------------------------------
key=$(key_of HKLM)
win "$setup" /S /AllUsers '/D=C:\Tavo\Norrik' || fail "silent install /AllUsers /D="
all="$WINEPREFIX/drive_c/Tavo/Norrik"
common="$(unix_dir ProgramData)/Microsoft/Windows/Start Menu/Programs/Norrik Tavo Online.lnk"
[ -f "$all/tavo-online.exe" ] && [ -f "$common" ] &&
  [ "$(value "$key" InstallLocation)" = 'C:\Tavo\Norrik' ] || fail "/AllUsers /D=: $(ls "$all" 2>&1), $(win reg query "$key")"
[ "$(value "$key" QuietUninstallString)" = '"C:\Tavo\Norrik\Uninstall.exe" /S /AllUsers' ] ||
  fail "QuietUninstallString: $(value "$key" QuietUninstallString)"
win 'C:\Tavo\Norrik\Uninstall.exe' /S /AllUsers || fail "silent uninstall /AllUsers"
settle
[ ! -e "$all" ] && [ ! -e "$common" ] && ! win reg query "$key" >/dev/null ||
  fail "after uninstall /AllUsers: $(ls -R "$WINEPREFIX/drive_c/Tavo")"
pass "/AllUsers /D=: folder, common shortcut, machine key; the uninstall removes them and the folder"
