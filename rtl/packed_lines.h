#pragma once
// Many short text lines kept compactly: all their bytes in one block and the end of each line
// as an offset into it. A line held as a std::string of its own costs 32 bytes or more however
// short it is, so a listing of a million two-byte lines would take many times its size.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tavo::rtl {

class TPackedLines {
 public:
  int Count() const { return static_cast<int>(ends_.size()); }
  // Raises EListError outside 0..Count()-1. The view is valid until the next Add or Clear.
  std::string_view Strings(int index) const;
  std::string_view operator[](int index) const { return Strings(index); }

  void Add(std::string_view line);
  void Clear();
  // Every line followed by CR LF.
  std::string Text() const;

 private:
  std::string text_;
  std::vector<size_t> ends_;
};

}  // namespace tavo::rtl
