#include "platform/console.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tavo::platform {
namespace {

int Descriptor(TStdStream AStream) {
  switch (AStream) {
    case TStdStream::ssInput: return STDIN_FILENO;
    case TStdStream::ssOutput: return STDOUT_FILENO;
    case TStdStream::ssError: return STDERR_FILENO;
  }
  return -1;
}

bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

bool IsTerminal(TStdStream AStream) { return ::isatty(Descriptor(AStream)) != 0; }

bool WriteText(TStdStream AStream, std::string_view AText) {
  return WriteAll(Descriptor(AStream), AText.data(), AText.size());
}

bool WriteBytes(TStdStream AStream, const void* AData, std::size_t ASize, std::string& AReason) {
  errno = 0;
  if (WriteAll(Descriptor(AStream), static_cast<const char*>(AData), ASize)) return true;
  AReason = std::strerror(errno != 0 ? errno : EIO);
  return false;
}

int TerminalColumns(TStdStream AStream) {
  winsize size{};
  if (::ioctl(Descriptor(AStream), TIOCGWINSZ, &size) != 0) return 0;
  return size.ws_col;
}

bool ReadSecret(const std::string& APrompt, std::string& AValue) {
  // The terminal itself, not standard input: a password never comes from a pipe by accident.
  const int fd = ::open("/dev/tty", O_RDWR | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return false;
  termios saved{};
  const bool is_tty = ::tcgetattr(fd, &saved) == 0;
  if (is_tty) {
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    quiet.c_lflag |= ECHONL;
    ::tcsetattr(fd, TCSAFLUSH, &quiet);
  }
  WriteAll(fd, APrompt.data(), APrompt.size());
  AValue.clear();
  char c = 0;
  ssize_t n = 0;
  while ((n = ::read(fd, &c, 1)) == 1 || (n < 0 && errno == EINTR)) {
    if (n < 0) continue;
    if (c == '\n') break;
    AValue += c;
  }
  if (!AValue.empty() && AValue.back() == '\r') AValue.pop_back();
  if (is_tty) ::tcsetattr(fd, TCSAFLUSH, &saved);
  ::close(fd);
  return true;
}

}  // namespace tavo::platform
