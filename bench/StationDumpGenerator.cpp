#include "StationDumpGenerator.h"

#include <cstdint>

namespace vandrel::bench {

namespace {

const std::vector<std::string> kWords = {
    "Radio", "FM", "Jazz", "Rock", "Classic", "Hits", "Music", "Love", "Sky", "City", "Star", "Sun",
    "Wave", "Nova", "Mega", "Energy", "Kiss", "Cool", "Smooth", "Deep", "Café", "Müller", "Señor",
    "Łódź", "Zürich", "Øresund", "Été", "Blues", "Soul", "Country", "Metal", "Dance", "House", "Techno",
    "Lounge", "Chill", "News", "Talk", "Sport", "Gold", "Oldies", "Retro", "Top", "Live", "Nord", "Süd",
    "Música", "Rádio", "Éire", "Köln", "Москва", "Ελλάδα", "Latina", "Salsa", "Reggae", "Punk", "Indie",
    "Folk", "Gospel", "Opera", "Piano", "Ambient", "Kids", "Alpha", "Omega", "Delta", "Echo", "Bravo"};

const std::vector<std::string> kTags = {"pop", "rock", "jazz", "news", "talk", "classical", "dance", "oldies",
                                        "80s", "90s", "chillout", "electronic", "hip hop", "country", "folk",
                                        "schlager", "música latina", "chanson française", "ambient", "sports"};

// The directory is dominated by a few countries.
const std::vector<std::pair<std::string, std::string>> kCountries = {
    {"US", "The United States Of America"}, {"DE", "Germany"}, {"GB", "The United Kingdom Of Great Britain And Northern Ireland"},
    {"FR", "France"}, {"NL", "The Netherlands"}, {"IT", "Italy"}, {"ES", "Spain"}, {"RU", "The Russian Federation"},
    {"BR", "Brazil"}, {"MX", "Mexico"}, {"CA", "Canada"}, {"PL", "Poland"}, {"GR", "Greece"}, {"AT", "Austria"},
    {"CH", "Switzerland"}, {"BE", "Belgium"}, {"CI", "Côte D'Ivoire"}, {"RE", "Réunion"}, {"TR", "Türkiye"},
    {"JP", "Japan"}, {"AU", "Australia"}, {"AR", "Argentina"}, {"SE", "Sweden"}, {"NO", "Norway"},
    {"DK", "Denmark"}, {"FI", "Finland"}, {"IE", "Ireland"}, {"PT", "Portugal"}, {"CZ", "Czechia"},
    {"HU", "Hungary"}, {"RO", "Romania"}, {"UA", "Ukraine"}, {"IN", "India"}, {"CN", "China"},
    {"ZA", "South Africa"}, {"NG", "Nigeria"}, {"EG", "Egypt"}, {"KR", "The Republic Of Korea"},
    {"", ""}, {"", "Atlantis"}};

struct Random {
  std::uint64_t state;
  std::uint32_t next() {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<std::uint32_t>(state >> 33);
  }
  std::size_t below(std::size_t n) { return next() % n; }
};

std::string Escape(const std::string& s) {
  std::string out;
  for (const char c : s) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out;
}

}  // namespace

const std::vector<std::string>& StationDumpGenerator::Words() { return kWords; }

void StationDumpGenerator::Write(std::ostream& out, std::size_t stations) {
  Random rnd{stations * 7919 + 1};
  out << "[\n";
  for (std::size_t i = 0; i < stations; ++i) {
    std::string name;
    for (std::size_t w = 1 + rnd.below(3); w > 0; --w) name += kWords[rnd.below(kWords.size())] + " ";
    name += std::to_string(i % 1000);
    std::string tags;
    for (std::size_t t = rnd.below(4); t > 0; --t) tags += (tags.empty() ? "" : ",") + kTags[rnd.below(kTags.size())];
    // Squaring the draw skews it towards the first countries.
    const std::size_t draw = rnd.below(1000);
    const auto& country = kCountries[draw * draw / 1000 * kCountries.size() / 1000];
    const std::size_t kind = rnd.below(100);
    std::string url = "http://stream" + std::to_string(i % 97) + ".example.net/" + std::to_string(i) + "/live.mp3";
    if (kind < 3 && i > 0) url = "http://stream" + std::to_string((i - 1) % 97) + ".example.net/" + std::to_string(i - 1) + "/live.mp3";
    if (kind >= 3 && kind < 5) url.clear();
    const int checkOk = kind >= 5 && kind < 8 ? 0 : 1;
    out << (i ? ",\n" : "") << "{\"changeuuid\":\"" << std::hex << rnd.next() << rnd.next() << std::dec
        << "\",\"stationuuid\":\"" << std::hex << rnd.next() << rnd.next() << std::dec << "\",\"name\":\""
        << Escape(name) << "\",\"url\":\"" << url << "\",\"url_resolved\":\"" << url << "\",\"homepage\":\"https://www.example.net/"
        << i << "\",\"favicon\":\"https://www.example.net/" << i << "/icon.png\",\"tags\":\"" << Escape(tags)
        << "\",\"country\":\"" << Escape(country.second) << "\",\"countrycode\":\"" << country.first
        << "\",\"state\":\"\",\"language\":\"english\",\"languagecodes\":\"en\",\"votes\":" << rnd.below(5000)
        << ",\"lastchangetime\":\"2024-01-01 12:00:00\",\"codec\":\"MP3\",\"bitrate\":128,\"hls\":0,\"lastcheckok\":"
        << checkOk << ",\"clickcount\":" << rnd.below(900) << ",\"geo_lat\":null,\"geo_long\":null}";
  }
  out << "\n]\n";
}

}  // namespace vandrel::bench
