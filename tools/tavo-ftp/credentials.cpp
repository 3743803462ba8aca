#include "tools/tavo-ftp/credentials.h"

#include <fstream>
#include <iostream>
#include <sstream>

#include "platform/console.h"
#include "platform/file_commit.h"
#include "platform/user_files.h"
#include "rtl/format.h"
#include "rtl/paths.h"
#include "tools/tavo-ftp/errors.h"
#include "tools/tavo-ftp/messages.h"

namespace tavo::tool {
namespace {

constexpr const char kAnonymousUser[] = "anonymous";
constexpr const char kAnonymousPassword[] = "anonymous@";

}  // namespace

const std::vector<NetrcEntry>& Credentials::Netrc() {
  if (netrc_) return *netrc_;
  netrc_.emplace();
  std::string path = options_.netrc_file;
  const bool named = !path.empty();
  if (!named) {
    const std::string home = platform::HomeFolder();
    if (home.empty()) return *netrc_;
    // "_netrc" is the name Windows users give it, where a leading dot is awkward.
    path = home + "/.netrc";
    if (platform::PathKind(path) == platform::TPathKind::pkMissing) path = home + "/_netrc";
    if (platform::PathKind(path) == platform::TPathKind::pkMissing) return *netrc_;
  }
  // Passwords that others can read are no secret any more: such a file is not used at all.
  if (platform::OpenToOthers(path)) throw ToolError(kLocalFile, rtl::Format(msg::kNetrcOpen, {path}));
  std::ifstream file(rtl::PathFromUtf8(path), std::ios::binary);
  if (!file) throw ToolError(kLocalFile, rtl::Format(msg::kNetrcUnreadable, {path}));
  std::ostringstream text;
  text << file.rdbuf();
  *netrc_ = ParseNetrc(text.str());
  return *netrc_;
}

std::string Credentials::AskPassword(const std::string& AUser, const std::string& AHost) {
  if (options_.password_stdin) {
    if (!stdin_password_) {
      std::string line;
      if (!std::getline(std::cin, line)) throw ToolError(kUsage, msg::kNoPasswordOnStdin.Text());
      if (!line.empty() && line.back() == '\r') line.pop_back();
      stdin_password_ = line;
    }
    return *stdin_password_;
  }
  for (const auto& [key, password] : typed_) {
    if (key == AUser + "@" + AHost) return password;
  }
  std::string password;
  // Without a terminal nobody can answer: the server decides about an empty password.
  platform::ReadSecret(rtl::Format(msg::kPasswordPrompt, {AUser, AHost}), password);
  typed_.emplace_back(AUser + "@" + AHost, password);
  return password;
}

Login Credentials::For(const FtpUrl& AUrl) {
  if (AUrl.has_user) {
    if (AUrl.has_password) return {AUrl.user, AUrl.password};
    if (AUrl.user == kAnonymousUser) return {AUrl.user, kAnonymousPassword};
    if (options_.netrc) {
      const NetrcEntry* entry = FindNetrcEntry(Netrc(), AUrl.host, AUrl.user);
      if (entry != nullptr && entry->has_password) return {AUrl.user, entry->password};
    }
    return {AUrl.user, AskPassword(AUrl.user, AUrl.host)};
  }
  if (!options_.user.empty()) {
    if (options_.password) return {options_.user, *options_.password};
    if (options_.netrc) {
      const NetrcEntry* entry = FindNetrcEntry(Netrc(), AUrl.host, options_.user);
      if (entry != nullptr && entry->has_password) return {options_.user, entry->password};
    }
    return {options_.user, AskPassword(options_.user, AUrl.host)};
  }
  if (options_.netrc) {
    const NetrcEntry* entry = FindNetrcEntry(Netrc(), AUrl.host, "");
    if (entry != nullptr && !entry->login.empty()) {
      if (entry->has_password) return {entry->login, entry->password};
      return {entry->login, AskPassword(entry->login, AUrl.host)};
    }
  }
  return {kAnonymousUser, kAnonymousPassword};
}

}  // namespace tavo::tool
