#include "directory/StationDumpReader.h"

#include <nlohmann/json.hpp>

namespace vandrel::directory {

namespace {

using json = nlohmann::json;

// Splits "a,b , c" the way dumps store tags.
void AddTags(std::vector<std::string>& tags, const std::string& text) {
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t comma = text.find(',', start);
    if (comma == std::string::npos) comma = text.size();
    std::string tag = text.substr(start, comma - start);
    const auto first = tag.find_first_not_of(" \t");
    const auto last = tag.find_last_not_of(" \t");
    if (first != std::string::npos) tags.push_back(tag.substr(first, last - first + 1));
    start = comma + 1;
  }
}

// Stations are two levels deep; a dump nesting far deeper is hostile, and
// the parser's bookkeeping would grow with every level.
constexpr int kMaxDepth = 64;

class Handler final : public json::json_sax_t {
 public:
  explicit Handler(const std::function<void(DumpStation&&)>& onStation) : onStation_(onStation) {}

  bool null() override { return scalar([](auto&) {}); }
  bool boolean(bool value) override {
    return scalar([&](Field f) {
      if (f == Field::LastCheckOk) station_.lastCheckOk = value;
    });
  }
  bool number_integer(number_integer_t value) override { return number(value != 0); }
  bool number_unsigned(number_unsigned_t value) override { return number(value != 0); }
  bool number_float(number_float_t value, const string_t&) override { return number(value != 0); }
  bool string(string_t& value) override {
    if (depth_ == 3 && inTags_) {
      AddTags(station_.tags, value);
      return true;
    }
    return scalar([&](Field f) { assign(f, value); });
  }
  bool binary(binary_t&) override { return fail("binary value"); }

  bool start_object(std::size_t) override {
    if (depth_ == 0) return fail("the dump is not a JSON array");
    if (depth_ >= kMaxDepth) return tooDeep();
    if (depth_ == 1) {
      station_ = DumpStation{};
      haveResolved_ = false;
    }
    ++depth_;
    return true;
  }
  bool key(string_t& name) override {
    if (depth_ == 2) field_ = FieldOf(name);
    return true;
  }
  bool end_object() override {
    if (--depth_ == 1) {
      ++element_;
      onStation_(std::move(station_));
    }
    return true;
  }
  bool start_array(std::size_t) override {
    if (depth_ == 1) return fail("element " + std::to_string(element_ + 1) + " is not an object");
    if (depth_ >= kMaxDepth) return tooDeep();
    if (depth_ == 2) inTags_ = field_ == Field::Tags;
    ++depth_;
    return true;
  }
  bool end_array() override {
    if (--depth_ == 2) inTags_ = false;
    if (depth_ == 0) done_ = true;
    return true;
  }
  bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception& ex) override {
    // nlohmann's message starts with its own error id; the reason follows.
    std::string what = ex.what();
    const auto colon = what.find("syntax error");
    if (colon != std::string::npos) what = what.substr(colon);
    error_ = "not valid JSON at byte " + std::to_string(position) + ": " + what;
    return false;
  }

  const std::string& error() const { return error_; }
  bool done() const { return done_; }

 private:
  enum class Field { Other, Name, Url, UrlResolved, Homepage, Country, CountryCode, Tags, LastCheckOk };

  static Field FieldOf(const std::string& name) {
    if (name == "name") return Field::Name;
    if (name == "url") return Field::Url;
    if (name == "url_resolved") return Field::UrlResolved;
    if (name == "homepage") return Field::Homepage;
    if (name == "country") return Field::Country;
    if (name == "countrycode") return Field::CountryCode;
    if (name == "tags") return Field::Tags;
    if (name == "lastcheckok") return Field::LastCheckOk;
    return Field::Other;
  }

  template <typename Apply>
  bool scalar(Apply apply) {
    if (depth_ == 0) return fail("the dump is not a JSON array");
    if (depth_ == 1) return fail("element " + std::to_string(element_ + 1) + " is not an object");
    if (depth_ == 2) apply(field_);
    return true;
  }

  bool number(bool nonZero) {
    return scalar([&](Field f) {
      if (f == Field::LastCheckOk) station_.lastCheckOk = nonZero;
    });
  }

  void assign(Field f, std::string& value) {
    switch (f) {
      case Field::Name: station_.name = std::move(value); break;
      case Field::UrlResolved:
        haveResolved_ = !value.empty();
        if (haveResolved_) station_.url = std::move(value);
        break;
      case Field::Url:
        if (!haveResolved_) station_.url = std::move(value);
        break;
      case Field::Homepage: station_.homepage = std::move(value); break;
      case Field::Country: station_.country = std::move(value); break;
      case Field::CountryCode: station_.countryCode = std::move(value); break;
      case Field::Tags: AddTags(station_.tags, value); break;
      case Field::LastCheckOk:
        station_.lastCheckOk = !(value == "0" || value == "false" || value == "False" || value == "FALSE");
        break;
      case Field::Other: break;
    }
  }

  bool tooDeep() {
    return fail("element " + std::to_string(element_ + 1) + " nests deeper than " + std::to_string(kMaxDepth) +
                " levels");
  }

  bool fail(std::string message) {
    error_ = std::move(message);
    return false;
  }

  const std::function<void(DumpStation&&)>& onStation_;
  DumpStation station_;
  bool haveResolved_ = false;
  Field field_ = Field::Other;
  bool inTags_ = false;
  int depth_ = 0;
  std::size_t element_ = 0;
  bool done_ = false;
  std::string error_;
};

}  // namespace

void StationDumpReader::Read(std::istream& in, const std::function<void(DumpStation&&)>& onStation) {
  Handler handler(onStation);
  const bool ok = json::sax_parse(in, &handler, json::input_format_t::json, true);
  if (!ok || !handler.done()) {
    throw DumpFormatError(handler.error().empty() ? "not valid JSON" : handler.error());
  }
}

}  // namespace vandrel::directory
