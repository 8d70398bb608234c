#include "directory/CountryNames.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <unordered_map>

#include "core/TextFold.h"

namespace vandrel::directory {

namespace {

struct Entry {
  const char* code;
  const char* name;
  const char* stem;  // nullptr: Stem(name)
};

// Sorted by code. Holland and uk keep the names the shipped lists have, so
// a country the player remembers still loads after an import.
constexpr Entry kCountries[] = {
    {"AD", "Andorra", nullptr}, {"AE", "United Arab Emirates", nullptr}, {"AF", "Afghanistan", nullptr},
    {"AG", "Antigua and Barbuda", nullptr}, {"AI", "Anguilla", nullptr}, {"AL", "Albania", nullptr},
    {"AM", "Armenia", nullptr}, {"AO", "Angola", nullptr}, {"AQ", "Antarctica", nullptr},
    {"AR", "Argentina", nullptr}, {"AS", "American Samoa", nullptr}, {"AT", "Austria", nullptr},
    {"AU", "Australia", nullptr}, {"AW", "Aruba", nullptr}, {"AX", "Åland Islands", nullptr},
    {"AZ", "Azerbaijan", nullptr}, {"BA", "Bosnia and Herzegovina", nullptr}, {"BB", "Barbados", nullptr},
    {"BD", "Bangladesh", nullptr}, {"BE", "Belgium", nullptr}, {"BF", "Burkina Faso", nullptr},
    {"BG", "Bulgaria", nullptr}, {"BH", "Bahrain", nullptr}, {"BI", "Burundi", nullptr},
    {"BJ", "Benin", nullptr}, {"BL", "Saint Barthélemy", nullptr}, {"BM", "Bermuda", nullptr},
    {"BN", "Brunei", nullptr}, {"BO", "Bolivia", nullptr}, {"BQ", "Caribbean Netherlands", nullptr},
    {"BR", "Brazil", nullptr}, {"BS", "Bahamas", nullptr}, {"BT", "Bhutan", nullptr},
    {"BV", "Bouvet Island", nullptr}, {"BW", "Botswana", nullptr}, {"BY", "Belarus", nullptr},
    {"BZ", "Belize", nullptr}, {"CA", "Canada", nullptr}, {"CC", "Cocos (Keeling) Islands", nullptr},
    {"CD", "DR Congo", nullptr}, {"CF", "Central African Republic", nullptr}, {"CG", "Congo", nullptr},
    {"CH", "Switzerland", nullptr}, {"CI", "Côte d'Ivoire", nullptr}, {"CK", "Cook Islands", nullptr},
    {"CL", "Chile", nullptr}, {"CM", "Cameroon", nullptr}, {"CN", "China", nullptr},
    {"CO", "Colombia", nullptr}, {"CR", "Costa Rica", nullptr}, {"CU", "Cuba", nullptr},
    {"CV", "Cape Verde", nullptr}, {"CW", "Curaçao", nullptr}, {"CX", "Christmas Island", nullptr},
    {"CY", "Cyprus", nullptr}, {"CZ", "Czechia", nullptr}, {"DE", "Germany", nullptr},
    {"DJ", "Djibouti", nullptr}, {"DK", "Denmark", nullptr}, {"DM", "Dominica", nullptr},
    {"DO", "Dominican Republic", nullptr}, {"DZ", "Algeria", nullptr}, {"EC", "Ecuador", nullptr},
    {"EE", "Estonia", nullptr}, {"EG", "Egypt", nullptr}, {"EH", "Western Sahara", nullptr},
    {"ER", "Eritrea", nullptr}, {"ES", "Spain", nullptr}, {"ET", "Ethiopia", nullptr},
    {"FI", "Finland", nullptr}, {"FJ", "Fiji", nullptr}, {"FK", "Falkland Islands", nullptr},
    {"FM", "Micronesia", nullptr}, {"FO", "Faroe Islands", nullptr}, {"FR", "France", nullptr},
    {"GA", "Gabon", nullptr}, {"GB", "United Kingdom", "uk"}, {"GD", "Grenada", nullptr},
    {"GE", "Georgia", nullptr}, {"GF", "French Guiana", nullptr}, {"GG", "Guernsey", nullptr},
    {"GH", "Ghana", nullptr}, {"GI", "Gibraltar", nullptr}, {"GL", "Greenland", nullptr},
    {"GM", "Gambia", nullptr}, {"GN", "Guinea", nullptr}, {"GP", "Guadeloupe", nullptr},
    {"GQ", "Equatorial Guinea", nullptr}, {"GR", "Greece", nullptr},
    {"GS", "South Georgia and the South Sandwich Islands", nullptr}, {"GT", "Guatemala", nullptr},
    {"GU", "Guam", nullptr}, {"GW", "Guinea-Bissau", nullptr}, {"GY", "Guyana", nullptr},
    {"HK", "Hong Kong", nullptr}, {"HM", "Heard Island and McDonald Islands", nullptr},
    {"HN", "Honduras", nullptr}, {"HR", "Croatia", nullptr}, {"HT", "Haiti", nullptr},
    {"HU", "Hungary", nullptr}, {"ID", "Indonesia", nullptr}, {"IE", "Ireland", nullptr},
    {"IL", "Israel", nullptr}, {"IM", "Isle of Man", nullptr}, {"IN", "India", nullptr},
    {"IO", "British Indian Ocean Territory", nullptr}, {"IQ", "Iraq", nullptr}, {"IR", "Iran", nullptr},
    {"IS", "Iceland", nullptr}, {"IT", "Italy", nullptr}, {"JE", "Jersey", nullptr},
    {"JM", "Jamaica", nullptr}, {"JO", "Jordan", nullptr}, {"JP", "Japan", nullptr},
    {"KE", "Kenya", nullptr}, {"KG", "Kyrgyzstan", nullptr}, {"KH", "Cambodia", nullptr},
    {"KI", "Kiribati", nullptr}, {"KM", "Comoros", nullptr}, {"KN", "Saint Kitts and Nevis", nullptr},
    {"KP", "North Korea", nullptr}, {"KR", "South Korea", nullptr}, {"KW", "Kuwait", nullptr},
    {"KY", "Cayman Islands", nullptr}, {"KZ", "Kazakhstan", nullptr}, {"LA", "Laos", nullptr},
    {"LB", "Lebanon", nullptr}, {"LC", "Saint Lucia", nullptr}, {"LI", "Liechtenstein", nullptr},
    {"LK", "Sri Lanka", nullptr}, {"LR", "Liberia", nullptr}, {"LS", "Lesotho", nullptr},
    {"LT", "Lithuania", nullptr}, {"LU", "Luxembourg", nullptr}, {"LV", "Latvia", nullptr},
    {"LY", "Libya", nullptr}, {"MA", "Morocco", nullptr}, {"MC", "Monaco", nullptr},
    {"MD", "Moldova", nullptr}, {"ME", "Montenegro", nullptr}, {"MF", "Saint Martin", nullptr},
    {"MG", "Madagascar", nullptr}, {"MH", "Marshall Islands", nullptr}, {"MK", "North Macedonia", nullptr},
    {"ML", "Mali", nullptr}, {"MM", "Myanmar", nullptr}, {"MN", "Mongolia", nullptr},
    {"MO", "Macao", nullptr}, {"MP", "Northern Mariana Islands", nullptr}, {"MQ", "Martinique", nullptr},
    {"MR", "Mauritania", nullptr}, {"MS", "Montserrat", nullptr}, {"MT", "Malta", nullptr},
    {"MU", "Mauritius", nullptr}, {"MV", "Maldives", nullptr}, {"MW", "Malawi", nullptr},
    {"MX", "Mexico", nullptr}, {"MY", "Malaysia", nullptr}, {"MZ", "Mozambique", nullptr},
    {"NA", "Namibia", nullptr}, {"NC", "New Caledonia", nullptr}, {"NE", "Niger", nullptr},
    {"NF", "Norfolk Island", nullptr}, {"NG", "Nigeria", nullptr}, {"NI", "Nicaragua", nullptr},
    {"NL", "Holland", nullptr}, {"NO", "Norway", nullptr}, {"NP", "Nepal", nullptr},
    {"NR", "Nauru", nullptr}, {"NU", "Niue", nullptr}, {"NZ", "New Zealand", nullptr},
    {"OM", "Oman", nullptr}, {"PA", "Panama", nullptr}, {"PE", "Peru", nullptr},
    {"PF", "French Polynesia", nullptr}, {"PG", "Papua New Guinea", nullptr}, {"PH", "Philippines", nullptr},
    {"PK", "Pakistan", nullptr}, {"PL", "Poland", nullptr}, {"PM", "Saint Pierre and Miquelon", nullptr},
    {"PN", "Pitcairn Islands", nullptr}, {"PR", "Puerto Rico", nullptr}, {"PS", "Palestine", nullptr},
    {"PT", "Portugal", nullptr}, {"PW", "Palau", nullptr}, {"PY", "Paraguay", nullptr},
    {"QA", "Qatar", nullptr}, {"RE", "Réunion", nullptr}, {"RO", "Romania", nullptr},
    {"RS", "Serbia", nullptr}, {"RU", "Russia", nullptr}, {"RW", "Rwanda", nullptr},
    {"SA", "Saudi Arabia", nullptr}, {"SB", "Solomon Islands", nullptr}, {"SC", "Seychelles", nullptr},
    {"SD", "Sudan", nullptr}, {"SE", "Sweden", nullptr}, {"SG", "Singapore", nullptr},
    {"SH", "Saint Helena", nullptr}, {"SI", "Slovenia", nullptr}, {"SJ", "Svalbard and Jan Mayen", nullptr},
    {"SK", "Slovakia", nullptr}, {"SL", "Sierra Leone", nullptr}, {"SM", "San Marino", nullptr},
    {"SN", "Senegal", nullptr}, {"SO", "Somalia", nullptr}, {"SR", "Suriname", nullptr},
    {"SS", "South Sudan", nullptr}, {"ST", "São Tomé and Príncipe", nullptr}, {"SV", "El Salvador", nullptr},
    {"SX", "Sint Maarten", nullptr}, {"SY", "Syria", nullptr}, {"SZ", "Eswatini", nullptr},
    {"TC", "Turks and Caicos Islands", nullptr}, {"TD", "Chad", nullptr},
    {"TF", "French Southern Territories", nullptr}, {"TG", "Togo", nullptr}, {"TH", "Thailand", nullptr},
    {"TJ", "Tajikistan", nullptr}, {"TK", "Tokelau", nullptr}, {"TL", "Timor-Leste", nullptr},
    {"TM", "Turkmenistan", nullptr}, {"TN", "Tunisia", nullptr}, {"TO", "Tonga", nullptr},
    {"TR", "Turkey", nullptr}, {"TT", "Trinidad and Tobago", nullptr}, {"TV", "Tuvalu", nullptr},
    {"TW", "Taiwan", nullptr}, {"TZ", "Tanzania", nullptr}, {"UA", "Ukraine", nullptr},
    {"UG", "Uganda", nullptr}, {"UM", "United States Minor Outlying Islands", nullptr},
    {"US", "United States", nullptr}, {"UY", "Uruguay", nullptr}, {"UZ", "Uzbekistan", nullptr},
    {"VA", "Vatican City", nullptr}, {"VC", "Saint Vincent and the Grenadines", nullptr},
    {"VE", "Venezuela", nullptr}, {"VG", "British Virgin Islands", nullptr},
    {"VI", "United States Virgin Islands", nullptr}, {"VN", "Vietnam", nullptr}, {"VU", "Vanuatu", nullptr},
    {"WF", "Wallis and Futuna", nullptr}, {"WS", "Samoa", nullptr}, {"XK", "Kosovo", nullptr},
    {"YE", "Yemen", nullptr}, {"YT", "Mayotte", nullptr}, {"ZA", "South Africa", nullptr},
    {"ZM", "Zambia", nullptr}, {"ZW", "Zimbabwe", nullptr},
};

// Longer official names some dumps use, by their stem.
constexpr std::pair<const char*, const char*> kAliases[] = {
    {"netherlands", "NL"}, {"the-netherlands", "NL"}, {"kingdom-of-the-netherlands", "NL"},
    {"united-states-of-america", "US"}, {"the-united-states-of-america", "US"}, {"usa", "US"},
    {"united-kingdom-of-great-britain-and-northern-ireland", "GB"}, {"the-united-kingdom", "GB"},
    {"great-britain", "GB"}, {"russian-federation", "RU"}, {"the-russian-federation", "RU"},
    {"korea-republic-of", "KR"}, {"republic-of-korea", "KR"}, {"the-republic-of-korea", "KR"},
    {"iran-islamic-republic-of", "IR"}, {"islamic-republic-of-iran", "IR"}, {"syrian-arab-republic", "SY"},
    {"viet-nam", "VN"}, {"czech-republic", "CZ"}, {"turkiye", "TR"}, {"ivory-coast", "CI"},
    {"macedonia", "MK"}, {"republic-of-moldova", "MD"}, {"the-republic-of-moldova", "MD"},
    {"bolivia-plurinational-state-of", "BO"}, {"venezuela-bolivarian-republic-of", "VE"},
    {"united-republic-of-tanzania", "TZ"}, {"tanzania-united-republic-of", "TZ"},
    {"lao-people-s-democratic-republic", "LA"}, {"taiwan-republic-of-china", "TW"},
};

const Entry* ByCode(std::string_view code) {
  if (code.size() != 2) return nullptr;
  std::string upper(code);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  const auto it = std::lower_bound(std::begin(kCountries), std::end(kCountries), upper,
                                   [](const Entry& e, const std::string& key) { return e.code < key; });
  return it != std::end(kCountries) && it->code == upper ? &*it : nullptr;
}

const Entry* ByStem(const std::string& stem) {
  static const std::unordered_map<std::string, const Entry*> byStem = [] {
    std::unordered_map<std::string, const Entry*> map;
    for (const Entry& e : kCountries) map.emplace(CountryNames::Stem(e.name), &e);
    for (const auto& [alias, code] : kAliases) map.emplace(alias, ByCode(code));
    return map;
  }();
  const auto it = byStem.find(stem);
  return it == byStem.end() ? nullptr : it->second;
}

CountryNames::Country FromEntry(const Entry& e) {
  return {e.name, e.stem != nullptr ? e.stem : CountryNames::Stem(e.name)};
}

// Keeps names in other scripts apart without making the file name unsafe.
std::string HashStem(std::string_view name) {
  std::uint32_t h = 2166136261u;
  for (const unsigned char c : name) h = (h ^ c) * 16777619u;
  char buf[24];
  std::snprintf(buf, sizeof buf, "country-%08x", h);
  return buf;
}

}  // namespace

static_assert(std::size(kCountries) > 240);

std::string CountryNames::Stem(std::string_view name) {
  const std::string folded = TextFold::Fold(name);
  std::string stem;
  bool gap = false;
  for (const char c : folded) {
    const bool keep = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    if (!keep) {
      gap = !stem.empty();
      continue;
    }
    if (gap) stem += '-';
    gap = false;
    stem += c;
    if (stem.size() >= 60) break;
  }
  while (!stem.empty() && stem.back() == '-') stem.pop_back();
  return stem;
}

CountryNames::Country CountryNames::For(std::string_view code, std::string_view name) {
  if (const Entry* e = ByCode(code)) return FromEntry(*e);
  const std::string stem = Stem(name);
  if (!stem.empty()) {
    if (const Entry* e = ByStem(stem)) return FromEntry(*e);
    return {std::string(name), stem};
  }
  bool blank = true;
  for (const char c : name) blank = blank && (c == ' ' || c == '\t');
  if (!blank) return {std::string(name), HashStem(name)};
  return {"International", "international"};
}

}  // namespace vandrel::directory
