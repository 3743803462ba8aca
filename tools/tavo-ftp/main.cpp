// tavo-ftp: fetches files, or lists a folder, over FTP with the project's network library.
// Its messages are English, or German where the user's language is German; the library's
// texts follow the same choice.

#include <string>

#include "platform/console.h"
#include "platform/interrupt.h"
#include "platform/locale.h"
#include "resources/text.h"
#include "tools/tavo-ftp/commands.h"
#include "tools/tavo-ftp/errors.h"
#include "tools/tavo-ftp/messages.h"
#include "tools/tavo-ftp/options.h"
#include "tools/tavo-ftp/output.h"

#ifndef TAVO_VERSION
#define TAVO_VERSION "unknown"
#endif

namespace tavo::tool {
namespace {

// Help and version: a text that standard output did not take is no success either.
int Print(const std::string& AText) {
  return platform::WriteText(platform::TStdStream::ssOutput, AText) ? kSuccess : kLocalFile;
}

int Run(int argc, char** argv) {
  // Before anything else is said: every text from here on is in the user's language.
  res::SetLanguage(platform::UserLanguage() == "de" ? res::TLanguage::lgGerman
                                                    : res::TLanguage::lgEnglish);
  Console err(platform::TStdStream::ssError);
  ParsedCommandLine parsed;
  try {
    parsed = ParseCommandLine(argc, argv);
  } catch (const UsageError& e) {
    err.Line(std::string("tavo-ftp: ") + e.what());
    err.Line(msg::kUsageLine.Text());
    err.Line(msg::kTryHelp.Text());
    return kUsage;
  }
  if (parsed.help) return Print(HelpText());
  if (parsed.version) return Print(std::string("tavo-ftp ") + TAVO_VERSION + "\n");
  const Options& o = parsed.options;
  platform::SetInterruptMessage(std::string("tavo-ftp: ") +
                                (o.command == TCommand::cmLs ? msg::kInterruptedListing.Text()
                                                             : msg::kInterruptedTransfer.Text()) +
                                "\n");
  platform::InstallInterruptHandler();
  // Said also with --quiet: whoever runs this must know the session is not protected.
  if (o.insecure) err.Line(std::string("tavo-ftp: ") + msg::kInsecureWarning.Text());
  return o.command == TCommand::cmLs ? RunLs(o, err) : RunGet(o, err);
}

}  // namespace
}  // namespace tavo::tool

int main(int argc, char** argv) { return tavo::tool::Run(argc, argv); }
