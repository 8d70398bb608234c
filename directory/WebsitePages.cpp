#include "directory/WebsitePages.h"

namespace vandrel::directory {

namespace {

struct Texts {
  const char* htmlLang;
  const char* homeTitle;
  const char* welcome;
  const char* countriesHeading;
  const char* noCountries;
  const char* aboutTitle;
  const char* aboutProgram;
  const char* aboutDirectory;
  const char* aboutTone;
  const char* homeLink;
  const char* aboutLink;
};

constexpr Texts kEnglish{
    "en",
    "Vandrel Internet Radio",
    "Welcome! Choose a country in the player, pick a station and listen. "
    "Use Find a station to search all countries at once.",
    "Countries",
    "No countries are listed yet.",
    "About Vandrel Internet Radio",
    "Vandrel Internet Radio is a small desktop program for listening to radio "
    "stations over the internet. It keeps your favourite stations and speaks "
    "several languages.",
    "The station directory is the service behind it: it hands the player the "
    "list of countries, the stations of each country and the search results, "
    "and serves these pages.",
    "The directory also carries a test tone station, so the player can be "
    "tried without an internet connection.",
    "Home",
    "About",
};

constexpr Texts kDutch{
    "nl",
    "Vandrel Internet Radio",
    "Welkom! Kies in het programma een land, kies een zender en luister. "
    "Met Zoek een zender doorzoek je alle landen tegelijk.",
    "Landen",
    "Er staan nog geen landen in de lijst.",
    "Over Vandrel Internet Radio",
    "Vandrel Internet Radio is een klein programma om via internet naar "
    "radiozenders te luisteren. Het onthoudt je favoriete zenders en spreekt "
    "meerdere talen.",
    "De zendergids is de dienst erachter: die geeft het programma de lijst "
    "van landen, de zenders per land en de zoekresultaten, en levert deze "
    "pagina's.",
    "De zendergids heeft ook een testtoon-zender, zodat je het programma "
    "zonder internetverbinding kunt uitproberen.",
    "Home",
    "Over",
};

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

const Texts& TextsFor(std::string_view language) {
  const std::string lang = Lower(language);
  if (lang == "nederlands" || lang == "dutch" || lang == "nl") return kDutch;
  return kEnglish;
}

std::string Document(const Texts& t, std::string_view title, const std::string& body) {
  std::string html;
  html += "<!DOCTYPE html>\n<html lang=\"";
  html += t.htmlLang;
  html += "\">\n<head>\n<meta charset=\"utf-8\">\n<meta name=\"viewport\" content=\"width=device-width\">\n<title>";
  html += WebsitePages::EscapeHtml(title);
  // No colours: the viewer's own show, light or dark as its desktop.
  html +=
      "</title>\n<style>\n"
      "body{font-family:sans-serif;max-width:40em;margin:2em auto;padding:0 1em;line-height:1.5}\n"
      "h1{font-size:1.6em}\nnav a{margin-right:1em}\n"
      "</style>\n</head>\n<body>\n<nav><a href=\"index.php?wat=home\">";
  html += t.homeLink;
  html += "</a><a href=\"index.php?wat=about\">";
  html += t.aboutLink;
  html += "</a></nav>\n<h1>";
  html += WebsitePages::EscapeHtml(title);
  html += "</h1>\n";
  html += body;
  html += "</body>\n</html>\n";
  return html;
}

}  // namespace

std::optional<WebsitePages::Page> WebsitePages::Named(std::string_view wat) {
  if (wat == "home") return Page::Home;
  if (wat == "about") return Page::About;
  return std::nullopt;
}

std::string WebsitePages::Render(Page page, std::string_view language, const std::vector<std::string>& countries) {
  const Texts& t = TextsFor(language);
  std::string body;
  if (page == Page::Home) {
    body += "<p>" + EscapeHtml(t.welcome) + "</p>\n<h2>" + EscapeHtml(t.countriesHeading) + "</h2>\n";
    if (countries.empty()) {
      body += "<p>" + EscapeHtml(t.noCountries) + "</p>\n";
    } else {
      body += "<ul>\n";
      for (const std::string& country : countries) body += "<li>" + EscapeHtml(country) + "</li>\n";
      body += "</ul>\n";
    }
    return Document(t, t.homeTitle, body);
  }
  for (const char* paragraph : {t.aboutProgram, t.aboutDirectory, t.aboutTone}) {
    body += "<p>" + EscapeHtml(paragraph) + "</p>\n";
  }
  return Document(t, t.aboutTitle, body);
}

std::string WebsitePages::EscapeHtml(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c;
    }
  }
  return out;
}

}  // namespace vandrel::directory
