#include "tools/tavo-ftp/netrc.h"

namespace tavo::tool {
namespace {

class Tokens {
 public:
  explicit Tokens(std::string_view text) : text_(text) {}

  // The next token; false at the end.
  bool Next(std::string& token) {
    SkipBlanks();
    if (at_ >= text_.size()) return false;
    token.clear();
    if (text_[at_] == '"') {
      for (++at_; at_ < text_.size() && text_[at_] != '"'; ++at_) {
        if (text_[at_] == '\\' && at_ + 1 < text_.size()) ++at_;
        token += text_[at_];
      }
      ++at_;  // the closing quote
      return true;
    }
    while (at_ < text_.size() && !IsBlank(text_[at_])) token += text_[at_++];
    return true;
  }

  // A macro definition runs to the next empty line.
  void SkipMacro() {
    const size_t end = text_.find("\n\n", at_);
    at_ = end == std::string_view::npos ? text_.size() : end + 2;
  }

 private:
  static bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
  void SkipBlanks() {
    while (at_ < text_.size() && IsBlank(text_[at_])) ++at_;
  }

  std::string_view text_;
  size_t at_ = 0;
};

bool SameHost(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

}  // namespace

std::vector<NetrcEntry> ParseNetrc(std::string_view AText) {
  std::vector<NetrcEntry> entries;
  Tokens tokens(AText);
  std::string word, value;
  while (tokens.Next(word)) {
    if (word == "machine" || word == "default") {
      entries.emplace_back();
      entries.back().is_default = word == "default";
      if (word == "machine" && tokens.Next(value)) entries.back().machine = value;
    } else if (word == "macdef") {
      tokens.Next(value);
      tokens.SkipMacro();
    } else if ((word == "login" || word == "password" || word == "account") && tokens.Next(value)) {
      if (entries.empty()) continue;  // a value outside any entry belongs to nobody
      if (word == "login") entries.back().login = value;
      if (word == "password") {
        entries.back().password = value;
        entries.back().has_password = true;
      }
    }
  }
  return entries;
}

const NetrcEntry* FindNetrcEntry(const std::vector<NetrcEntry>& AEntries, const std::string& AHost,
                                 const std::string& ALogin) {
  const auto fits = [&](const NetrcEntry& e) { return ALogin.empty() || e.login == ALogin; };
  for (const NetrcEntry& e : AEntries) {
    if (!e.is_default && SameHost(e.machine, AHost) && fits(e)) return &e;
  }
  for (const NetrcEntry& e : AEntries) {
    if (e.is_default && fits(e)) return &e;
  }
  return nullptr;
}

}  // namespace tavo::tool
