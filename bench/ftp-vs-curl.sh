#!/usr/bin/env bash
# tavo-ftp against curl and lftp on the same loopback vsftpd:
#   - a 1 GiB file to /dev/null, to a fresh file, and over an existing 1 GiB file;
#   - an 8 MiB file to /dev/null (peak memory of a small transfer);
#   - the launcher's pattern, one log-in and two files of 150 KiB and 60 KiB: tavo-ftp with two
#     URLs, `curl -o A URL1 -o B URL2`, lftp with two gets in one session;
#   - 1 GiB to /dev/null over explicit TLS (tavo-ftp --tls against curl --ssl-reqd, both trusting
#     the server's self-signed certificate made here; vsftpd requires session reuse by default).
# lftp fetches to /dev/null as `lftp -c 'cat URL' > /dev/null` and to a file with
# `set xfer:clobber on`. The programs take turns in every round (the order rotates from round to
# round), RUNS rounds (default 5) after one warm-up round. The table shows each program's medians
# of wall time, user and system CPU and peak RSS, and tavo-ftp's ratio to each peer: the median of
# the rounds' ratios (paired, so a drift of the machine's speed cancels out).
#
#   bench/ftp-vs-curl.sh                 (as root: vsftpd switches users)
#   RUNS=9 CASES="1 4" bench/ftp-vs-curl.sh
#
# curl and lftp are the peers; install them by hand (apt-get install curl lftp). Not part of the
# test command. Builds tavo-ftp in Release in build-bench/.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${RUNS:-5}

missing=()
for p in curl lftp time vsftpd cmake g++ openssl; do
  command -v "$p" >/dev/null 2>&1 || [ -x "/usr/sbin/$p" ] || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "bench: missing ${missing[*]} (apt-get install ${missing[*]/g++/build-essential})" >&2
  exit 1
fi

echo "== building tavo-ftp (Release) =="
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAVO_BUILD_LAUNCHER=OFF \
  -DTAVO_BUILD_TESTS=OFF -DTAVO_BUILD_BENCH=ON >/dev/null
cmake --build build-bench --target tavo-ftp | tail -n 3
tavo=$PWD/build-bench/tools/tavo-ftp/tavo-ftp

work=$(mktemp -d /tmp/tavo-bench-XXXXXX)
pid=""
cleanup() {
  [ -n "$pid" ] && kill -- "-$pid" 2>/dev/null || true
  [ -n "$pid" ] && wait "$pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

chmod 755 "$work"
mkdir -p "$work/root/dir" "$work/out"
chmod 755 "$work/root" "$work/root/dir"
echo "== making the files =="
head -c 1073741824 /dev/urandom >"$work/root/big.bin"
head -c 8388608 /dev/urandom >"$work/root/medium.bin"
head -c 153600 /dev/urandom >"$work/root/dir/updater.exe"
head -c 61440 /dev/urandom >"$work/root/dir/runtime.dll"
chmod 644 "$work/root/big.bin" "$work/root/medium.bin" "$work/root/dir/"*
# The server's certificate, trusted by the programs (--cacert) as its own authority.
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 2 \
  -subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 \
  -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
mkdir -p /var/run/vsftpd/empty
cat >"$work/vsftpd.conf" <<EOF
listen=YES
listen_ipv6=NO
listen_address=127.0.0.1
listen_port=$port
background=NO
seccomp_sandbox=NO
isolate=NO
isolate_network=NO
anonymous_enable=YES
no_anon_password=YES
anon_root=$work/root
ftp_username=ftp
local_enable=NO
write_enable=NO
pasv_enable=YES
port_enable=YES
connect_from_port_20=NO
secure_chroot_dir=/var/run/vsftpd/empty
xferlog_enable=NO
ssl_enable=YES
allow_anon_ssl=YES
force_anon_logins_ssl=NO
force_anon_data_ssl=NO
ssl_ciphers=HIGH
rsa_cert_file=$work/cert.pem
rsa_private_key_file=$work/key.pem
EOF
setsid /usr/sbin/vsftpd "$work/vsftpd.conf" </dev/null >/dev/null 2>&1 &
pid=$!
for _ in $(seq 100); do
  (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
  sleep 0.1
done

url="ftp://127.0.0.1:$port"
# Runs a command under /usr/bin/time; appends "wall user sys rss_kib" to the file named first.
# The wall time is taken in nanoseconds around it: time's own is in hundredths of a second, too
# coarse for the two-file session, which takes a few of them.
measure() {
  local into=$1 start end
  shift
  start=$(date +%s%N)
  /usr/bin/time -f "%U %S %M" -o "$work/time" "$@" >/dev/null 2>"$work/stderr" || {
    echo "bench: failed: $*" >&2
    cat "$work/stderr" >&2
    exit 1
  }
  end=$(date +%s%N)
  echo "$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f", (b - a) / 1e9 }') $(cat "$work/time")" >>"$into"
}
median() { sort -g | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }

cases=("1 GiB to /dev/null" "1 GiB to a fresh file" "1 GiB over an existing file"
       "8 MiB to /dev/null" "two files, one session" "TLS: 1 GiB to /dev/null")
selected=${CASES:-0 1 2 3 4 5}
# One run of a program in a case. The file cases write to $work/out/<program>; "fresh" removes
# the last run's file first, "existing" keeps it (the warm-up round made it).
run_case() {  # case index, program, file of measurements
  local c=$1 tool=$2 into=$3 dest=/dev/null file=big.bin
  case $c in
    1 | 2) dest="$work/out/$tool" ;;
    3) file=medium.bin ;;
  esac
  [ "$c" = 1 ] && rm -f "$dest"
  if [ "$c" = 4 ]; then
    local d="$work/out/$tool.d"
    rm -rf "$d" && mkdir -p "$d"
    case $tool in
      tavo) measure "$into" "$tavo" get -q --output-dir "$d" "$url/dir/updater.exe" "$url/dir/runtime.dll" ;;
      curl) measure "$into" curl -s -S -o "$d/updater.exe" "$url/dir/updater.exe" -o "$d/runtime.dll" "$url/dir/runtime.dll" ;;
      lftp) measure "$into" lftp -c "set xfer:clobber on; open $url; get dir/updater.exe -o $d/updater.exe; get dir/runtime.dll -o $d/runtime.dll" ;;
    esac
    return
  fi
  if [ "$c" = 5 ]; then
    case $tool in
      tavo) measure "$into" "$tavo" get -q --tls --cacert "$work/cert.pem" "$url/$file" /dev/null ;;
      curl) measure "$into" curl -s -S --ssl-reqd --cacert "$work/cert.pem" -o /dev/null "$url/$file" ;;
    esac
    return
  fi
  case $tool in
    tavo) measure "$into" "$tavo" get -q "$url/$file" "$dest" ;;
    curl) measure "$into" curl -s -S -o "$dest" "$url/$file" ;;
    lftp)
      if [ "$dest" = /dev/null ]; then
        measure "$into" sh -c "exec lftp -c 'cat $url/$file' >/dev/null"
      else
        measure "$into" lftp -c "set xfer:clobber on; get $url/$file -o $dest"
      fi
      ;;
  esac
}

printf '\n%-30s %-9s %8s %8s %8s %8s %10s %10s\n' case program wall_s user_s sys_s rss_MiB \
  "tavo/curl" "tavo/lftp"
for c in $selected; do
  tools=(tavo curl lftp)
  [ "$c" = 5 ] && tools=(tavo curl)
  for tool in "${tools[@]}"; do run_case "$c" "$tool" /dev/null; done  # warm-up
  for tool in "${tools[@]}"; do : >"$work/m.$tool"; done
  for r in $(seq "$runs"); do
    # The order rotates, so no program always runs first after another one's writes.
    n=${#tools[@]}
    for i in $(seq 0 $((n - 1))); do
      tool=${tools[$(((i + r) % n))]}
      run_case "$c" "$tool" "$work/m.$tool"
    done
  done
  declare -A med=()
  for tool in "${tools[@]}"; do
    for col in 1 2 3 4; do
      med[$tool$col]=$(cut -d' ' -f"$col" "$work/m.$tool" | median)
    done
  done
  # Paired ratios: round by round, then their median.
  ratio() {
    paste -d' ' <(cut -d' ' -f1 "$work/m.tavo") <(cut -d' ' -f1 "$work/m.$1") |
      awk '$2 > 0 {print $1 / $2}' | median | awk '{printf "%.2f", $1}'
  }
  for tool in "${tools[@]}"; do
    r_curl="" r_lftp=""
    if [ "$tool" = tavo ]; then
      r_curl=$(ratio curl)
      [ "$c" != 5 ] && r_lftp=$(ratio lftp)
    fi
    printf '%-30s %-9s %8.3f %8.3f %8.3f %8.1f %10s %10s\n' "${cases[$c]}" \
      "$([ "$tool" = tavo ] && echo tavo-ftp || echo "$tool")" \
      "${med[${tool}1]}" "${med[${tool}2]}" "${med[${tool}3]}" \
      "$(awk -v k="${med[${tool}4]}" 'BEGIN { print k / 1024 }')" "$r_curl" "$r_lftp"
  done
done
echo
echo "Medians of $runs rounds; tavo/curl and tavo/lftp are medians of the rounds' paired ratios"
echo "of wall time."
