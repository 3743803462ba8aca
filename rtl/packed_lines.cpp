#include "rtl/packed_lines.h"

#include "resources/rtl_texts.h"
#include "rtl/exception.h"
#include "rtl/format.h"

namespace tavo::rtl {

std::string_view TPackedLines::Strings(int index) const {
  if (index < 0 || index >= Count()) throw EListError(Format(res::kListIndexError, {index}));
  const size_t begin = index == 0 ? 0 : ends_[static_cast<size_t>(index) - 1];
  return std::string_view(text_).substr(begin, ends_[static_cast<size_t>(index)] - begin);
}

void TPackedLines::Add(std::string_view line) {
  text_.append(line);
  ends_.push_back(text_.size());
}

void TPackedLines::Clear() {
  // Released, not only emptied: the next listing may be a short one.
  std::string().swap(text_);
  std::vector<size_t>().swap(ends_);
}

std::string TPackedLines::Text() const {
  std::string out;
  out.reserve(text_.size() + 2 * ends_.size());
  for (int i = 0; i < Count(); ++i) out.append(Strings(i)).append("\r\n");
  return out;
}

}  // namespace tavo::rtl
