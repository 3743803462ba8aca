#include "platform/locale.h"

#include <string_view>

namespace tavo::platform {

namespace {

struct LocaleAbbrev {
  std::string_view posix;  // language_TERRITORY
  std::string_view abbrev;
};

// The system's three-letter abbreviations: the language in two letters and one letter for the
// country variant. German is "DEU" only in Germany.
constexpr LocaleAbbrev kAbbrevs[] = {
    {"de_DE", "DEU"}, {"de_AT", "DEA"}, {"de_CH", "DES"}, {"de_LU", "DEL"}, {"de_LI", "DEC"},
    {"en_US", "ENU"}, {"en_GB", "ENG"}, {"en_AU", "ENA"}, {"en_CA", "ENC"}, {"en_NZ", "ENZ"},
    {"en_IE", "ENI"}, {"en_ZA", "ENS"}, {"en_IN", "ENN"}, {"fr_FR", "FRA"}, {"fr_BE", "FRB"},
    {"fr_CA", "FRC"}, {"fr_CH", "FRS"}, {"fr_LU", "FRL"}, {"it_IT", "ITA"}, {"it_CH", "ITS"},
    {"es_ES", "ESN"}, {"es_MX", "ESM"}, {"es_AR", "ESS"}, {"nl_NL", "NLD"}, {"nl_BE", "NLB"},
    {"pt_BR", "PTB"}, {"pt_PT", "PTG"}, {"da_DK", "DAN"}, {"sv_SE", "SVE"}, {"sv_FI", "SVF"},
    {"fi_FI", "FIN"}, {"nb_NO", "NOR"}, {"nn_NO", "NON"}, {"is_IS", "ISL"}, {"pl_PL", "PLK"},
    {"cs_CZ", "CSY"}, {"sk_SK", "SKY"}, {"sl_SI", "SLV"}, {"hr_HR", "HRV"}, {"hu_HU", "HUN"},
    {"ro_RO", "ROM"}, {"bg_BG", "BGR"}, {"el_GR", "ELL"}, {"tr_TR", "TRK"}, {"ru_RU", "RUS"},
    {"uk_UA", "UKR"}, {"et_EE", "ETI"}, {"lv_LV", "LVI"}, {"lt_LT", "LTH"}, {"ja_JP", "JPN"},
    {"ko_KR", "KOR"}, {"zh_CN", "CHS"}, {"zh_TW", "CHT"}, {"zh_HK", "ZHH"}, {"he_IL", "HEB"},
    {"ar_SA", "ARA"},
};

// What the system answers for its language-neutral locale; C and POSIX choose no language.
constexpr std::string_view kInvariantAbbrev = "IVL";

}  // namespace

std::string LocaleAbbrevFromPosixName(const std::string& name) {
  // language[_TERRITORY][.codeset][@modifier]
  std::string_view base = name;
  base = base.substr(0, base.find_first_of(".@"));
  if (base == "C" || base == "POSIX") return std::string(kInvariantAbbrev);
  for (const auto& entry : kAbbrevs) {
    if (entry.posix == base) return std::string(entry.abbrev);
  }
  return {};
}

std::string LanguageFromPosixName(const std::string& name) {
  std::string language = name.substr(0, name.find_first_of("_.@"));
  if (language == "C" || language == "POSIX") return {};
  for (char& c : language) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  return language;
}

}  // namespace tavo::platform
