#!/usr/bin/env bash
# tavo-ftp against curl on the same loopback vsftpd: a 1 GiB and an 8 MiB file to /dev/null and
# to a file, a small session (connect, log in, CWD, one 64 KiB file, disconnect), and the 1 GiB
# file over explicit TLS (tavo-ftp --tls against curl --ssl-reqd, both trusting the server's
# self-signed certificate made here, vsftpd requiring session reuse as it does by default). The two
# programs take turns, RUNS times each (default 5) after one warm-up round; the table shows the
# medians of wall time, user and system CPU and peak RSS, and tavo-ftp/curl per case.
#
#   bench/ftp-vs-curl.sh            (as root: vsftpd switches users)
#   RUNS=9 bench/ftp-vs-curl.sh
#
# Not part of the test command. Builds tavo-ftp in Release in build-bench/.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${RUNS:-5}

missing=()
for p in curl time vsftpd cmake g++ openssl; do
  command -v "$p" >/dev/null 2>&1 || [ -x "/usr/sbin/$p" ] || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "bench: installing ${missing[*]}"
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]/g++/build-essential}" >/dev/null
fi

echo "== building tavo-ftp (Release) =="
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAVO_WITH_QT=OFF \
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
mkdir -p "$work/root/dir"
chmod 755 "$work/root" "$work/root/dir"
echo "== making the files =="
head -c 1073741824 /dev/urandom >"$work/root/big.bin"
head -c 8388608 /dev/urandom >"$work/root/medium.bin"
head -c 65536 /dev/urandom >"$work/root/dir/small.bin"
# The server's certificate, trusted by both programs (--cacert) as its own authority.
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 2 \
  -subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 \
  -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
chmod 644 "$work/root/big.bin" "$work/root/medium.bin" "$work/root/dir/small.bin"

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
# Prints "wall user sys rss_kib" of one run; the output goes where the case says.
measure() {
  /usr/bin/time -f "%e %U %S %M" -o "$work/time" "$@" >/dev/null 2>&1 || {
    echo "bench: failed: $*" >&2
    exit 1
  }
  cat "$work/time"
}
median() { sort -n | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }

cases=("1 GiB to /dev/null" "1 GiB to a file" "8 MiB to /dev/null" "8 MiB to a file"
       "small session (CWD, 64 KiB)" "TLS: 1 GiB to /dev/null")
tls_case=5
tls_ratio="-"
run_case() {  # case index, tool -> one measurement
  local c=$1 tool=$2 dest=/dev/null file=big.bin tls=()
  case $c in
    1 | 3) dest="$work/out.$tool" ;;
  esac
  case $c in
    2 | 3) file=medium.bin ;;
    4) file=dir/small.bin; dest="$work/out.$tool" ;;
  esac
  rm -f "$work/out.$tool"
  if [ "$c" = "$tls_case" ]; then
    if [ "$tool" = tavo ]; then tls=(--tls --cacert "$work/cert.pem"); else tls=(--ssl-reqd --cacert "$work/cert.pem"); fi
  fi
  if [ "$tool" = tavo ]; then
    measure "$tavo" get -q --no-progress "${tls[@]}" "$url/$file" "$dest"
  else
    measure curl -s -S "${tls[@]}" -o "$dest" "$url/$file"
  fi
}

printf '\n%-30s %-9s %8s %8s %8s %9s %12s\n' case program wall_s user_s sys_s rss_MiB "tavo/curl"
for c in "${!cases[@]}"; do
  run_case "$c" tavo >/dev/null
  run_case "$c" curl >/dev/null  # warm-up: page cache, server start-up
  : >"$work/m.tavo"
  : >"$work/m.curl"
  for _ in $(seq "$runs"); do
    run_case "$c" tavo >>"$work/m.tavo"
    run_case "$c" curl >>"$work/m.curl"
  done
  declare -A med=()
  for tool in tavo curl; do
    for col in 1 2 3 4; do
      med[$tool$col]=$(cut -d' ' -f"$col" "$work/m.$tool" | median)
    done
  done
  [ "$c" = "$tls_case" ] && tls_ratio=$(awk -v a="${med[tavo1]}" -v b="${med[curl1]}" \
    'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }')
  for tool in tavo curl; do
    ratio=""
    [ "$tool" = tavo ] && ratio=$(awk -v a="${med[tavo1]}" -v b="${med[curl1]}" \
      'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }')
    printf '%-30s %-9s %8.3f %8.3f %8.3f %9.1f %12s\n' "${cases[$c]}" \
      "$([ "$tool" = tavo ] && echo tavo-ftp || echo curl)" \
      "${med[${tool}1]}" "${med[${tool}2]}" "${med[${tool}3]}" \
      "$(awk -v k="${med[${tool}4]}" 'BEGIN { print k / 1024 }')" "$ratio"
  done
done
echo
echo "Medians of $runs runs each; tavo/curl is the ratio of median wall times."
echo "Over TLS (tavo-ftp --tls against curl --ssl-reqd, 1 GiB to /dev/null): tavo/curl = $tls_ratio."
