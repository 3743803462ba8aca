#pragma once
// A text of the network library in its two languages. The German one is the library's own
// and what every program gets unless it asks otherwise (the launcher never does); a
// command-line program for technicians everywhere switches the whole process to English once,
// before it starts any work, and every message, status and error raised from then on reads
// English. Both wordings of a text stand together where the text is defined:
//
//   inline constexpr TText kTcpReadTimeout{"Zeitüberschreitung beim Lesen", "Read timed out"};
//
// A TText reads as the current language's words wherever code uses the text (as `const char*`,
// string or string view), so code and templates keep referring to it by name only.

#include <atomic>
#include <string>
#include <string_view>

namespace tavo::res {

enum class TLanguage { lgGerman, lgEnglish };

namespace text_detail {
inline std::atomic<TLanguage> g_language{TLanguage::lgGerman};
}  // namespace text_detail

// Meant to be set once at start, before any thread runs; texts already formatted keep theirs.
inline void SetLanguage(TLanguage ALanguage) {
  text_detail::g_language.store(ALanguage, std::memory_order_relaxed);
}
inline TLanguage Language() { return text_detail::g_language.load(std::memory_order_relaxed); }

struct TText {
  const char* German;
  const char* English;

  // A text that reads the same in both languages (the runtime's own English messages).
  constexpr explicit TText(const char* ABoth) : German(ABoth), English(ABoth) {}
  constexpr TText(const char* AGerman, const char* AEnglish) : German(AGerman), English(AEnglish) {}

  const char* In(TLanguage ALanguage) const {
    return ALanguage == TLanguage::lgEnglish ? English : German;
  }
  // The current language's words, where a conversion would have several targets to choose
  // from (an assignment to a string, a format argument).
  const char* Text() const { return In(Language()); }
  // NOLINTBEGIN(google-explicit-constructor): a text goes wherever its words went before
  operator const char*() const { return Text(); }
  operator std::string_view() const { return Text(); }
  operator std::string() const { return Text(); }
  // NOLINTEND(google-explicit-constructor)
};

}  // namespace tavo::res
