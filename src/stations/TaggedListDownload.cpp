#include "stations/TaggedListDownload.h"

#include "core/TaggedList.h"
#include "core/TextDecoding.h"

namespace vandrel {

void AppendTaggedList(const std::string& text, const TagTable& table) {
  std::vector<std::string> tags;
  tags.reserve(table.size());
  for (const auto& entry : table) tags.push_back(entry.first);
  const auto values = ParseTaggedListUpTo(text, tags);
  for (std::size_t t = 0; t < table.size(); ++t) {
    // Names are what the lists, labels and the bus show; addresses stay as sent.
    const bool names = table[t].first == "naam";
    for (const auto& value : values.lists[t]) table[t].second->AddItem(names ? ScreenText(value) : value);
  }
  if (!values.complete) throw TaggedListTooLarge();
}

void DownloadTaggedList(HttpClient& http, TextHolder& downloadInfo, const std::string& address,
                        const TagTable& table) {
  downloadInfo.setText(http.OpenURL(address));
  AppendTaggedList(downloadInfo.text(), table);
}

}  // namespace vandrel
