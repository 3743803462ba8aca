#include "rtl/strings.h"

#include "resources/rtl_texts.h"
#include "rtl/exception.h"
#include "rtl/format.h"

namespace tavo::rtl {

void TStringList::CheckIndex(int index, int limit) const {
  if (index < 0 || index >= limit)
    throw EListError(Format(res::kListIndexError, {index}));
}

const std::string& TStringList::Strings(int index) const {
  CheckIndex(index, Count());
  return items_[static_cast<size_t>(index)];
}

void TStringList::SetStrings(int index, const std::string& value) {
  CheckIndex(index, Count());
  items_[static_cast<size_t>(index)] = value;
}

int TStringList::Add(const std::string& value) {
  items_.push_back(value);
  return Count() - 1;
}

void TStringList::Insert(int index, const std::string& value) {
  CheckIndex(index, Count() + 1);
  items_.insert(items_.begin() + index, value);
}

void TStringList::Delete(int index) {
  CheckIndex(index, Count());
  items_.erase(items_.begin() + index);
}

int TStringList::IndexOf(std::string_view value) const {
  for (size_t i = 0; i < items_.size(); ++i)
    if (items_[i] == value) return static_cast<int>(i);
  return -1;
}

std::string TStringList::Text() const {
  std::string out;
  for (const auto& s : items_) {
    out += s;
    out += "\r\n";
  }
  return out;
}

void TStringList::SetText(std::string_view text) {
  items_.clear();
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      items_.emplace_back(text.substr(start, i - start));
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      start = i + 1;
    }
  }
  if (start < text.size()) items_.emplace_back(text.substr(start));
}

}  // namespace tavo::rtl
