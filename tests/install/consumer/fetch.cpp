// fetch HOST PORT USER PASSWORD FILE DEST: one file with the installed library.
#include <cstdio>
#include <cstdlib>

#include <tavo/net/ftp/ftp.h>

int main(int argc, char** argv) {
  if (argc != 7) return 2;
  tavo::net::TIdFTP ftp;
  ftp.SetHost(argv[1]);
  ftp.SetPort(std::atoi(argv[2]));
  ftp.SetUsername(argv[3]);
  ftp.SetPassword(argv[4]);
  ftp.SetPassive(true);
  ftp.SetReadTimeout(20000);
  try {
    ftp.Connect();
    ftp.Get(argv[5], argv[6], true, false);
    ftp.Disconnect();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "fetch: %s\n", e.what());
    return 1;
  }
  return 0;
}
