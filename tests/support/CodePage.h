#pragma once

#include <iconv.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace vandrel::test {

// UTF-8 text in a legacy code page, as an old source sends it.
inline std::string Encoded(const std::string& utf8, const char* charset) {
  iconv_t cd = iconv_open(charset, "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error(std::string("no iconv for ") + charset);
  std::string out(utf8.size() * 2 + 8, '\0');
  char *in = const_cast<char*>(utf8.data()), *to = out.data();
  std::size_t inLeft = utf8.size(), outLeft = out.size();
  const bool ok = iconv(cd, &in, &inLeft, &to, &outLeft) != static_cast<std::size_t>(-1);
  iconv_close(cd);
  if (!ok) throw std::runtime_error(utf8 + " is not in " + charset);
  out.resize(out.size() - outLeft);
  return out;
}

// A few titles of a station whose source sends them in one code page.
struct StationTitles {
  const char* charset;
  std::vector<std::string> titles;  // UTF-8
};

inline const std::vector<StationTitles>& LegacyStations() {
  static const std::vector<StationTitles> stations = {
      {"WINDOWS-1251", {"Кино - Группа крови", "Алла Пугачёва - Миллион алых роз", "Земфира - Искала"}},
      {"KOI8-R", {"Ария - Беспечный ангел", "Сплин - Выхода нет", "Кино - Звезда по имени Солнце"}},
      {"WINDOWS-1253", {"Άννα Βίσση - Δώδεκα", "Σάκης Ρουβάς - Άντεξα", "Χάρις Αλεξίου - Η Θεσσαλονίκη"}},
      {"WINDOWS-1250", {"Maryla Rodowicz - Małgośka", "Dżem - Wehikuł czasu", "Čechomor - Proměny"}},
      // Western titles the detector alone takes for ISO-8859-2 ("Seńorita").
      {"ISO-8859-1", {"Café Zürich", "Édith Piaf - Non, je ne regrette rien", "Café del Mar - Señorita"}},
  };
  return stations;
}

}  // namespace vandrel::test
