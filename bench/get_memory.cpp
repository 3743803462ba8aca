// Peak memory of one Get into a file: tavo_bench_get_memory HOST PORT USER PASSWORD FILE DEST
// prints the peak resident set size before and after the transfer. The file is never held in
// memory whole, so the growth stays small whatever its size (bench/ftp-vs-curl.sh serves
// files of 8 MiB and 1 GiB).

#include <cstdio>
#include <cstdlib>

#include "bench/bench_support.h"
#include "net/ftp/ftp.h"

using tavo::bench::PeakRssKiB;

int main(int argc, char** argv) {
  if (argc != 7) {
    std::fprintf(stderr, "usage: %s HOST PORT USER PASSWORD FILE DEST\n", argv[0]);
    return 2;
  }
  tavo::net::TIdFTP ftp;
  ftp.SetHost(argv[1]);
  ftp.SetPort(std::atoi(argv[2]));
  ftp.SetUsername(argv[3]);
  ftp.SetPassword(argv[4]);
  ftp.SetPassive(true);
  try {
    ftp.Connect();
    const long before = PeakRssKiB();
    ftp.Get(argv[5], argv[6], true, false);
    ftp.Disconnect();
    std::printf("peak RSS %ld KiB before the Get, %ld KiB after it\n", before, PeakRssKiB());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
