#pragma once
// An ordered list of 8-bit text lines (reply lines, local addresses, listing lines).

#include <string>
#include <string_view>
#include <vector>

namespace tavo::rtl {

class TStringList {
 public:
  int Count() const { return static_cast<int>(items_.size()); }
  // Raise EListError outside 0..Count()-1.
  const std::string& Strings(int index) const;
  void SetStrings(int index, const std::string& value);
  const std::string& operator[](int index) const { return Strings(index); }

  int Add(const std::string& value);  // returns the new line's index
  void Insert(int index, const std::string& value);
  void Delete(int index);
  void Clear() { items_.clear(); }
  int IndexOf(std::string_view value) const;  // exact match; -1 when absent
  void Assign(const TStringList& other) { items_ = other.items_; }

  // Every line followed by CR LF.
  std::string Text() const;
  // Replaces the content: lines end at LF, CR LF or a lone CR; a final terminator adds no line.
  void SetText(std::string_view text);

  const std::vector<std::string>& Items() const { return items_; }
  bool operator==(const TStringList& other) const = default;

 private:
  void CheckIndex(int index, int limit) const;
  std::vector<std::string> items_;
};

}  // namespace tavo::rtl
