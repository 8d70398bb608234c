#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/HttpClient.h"
#include "platform/ListBox.h"
#include "platform/TextHolder.h"

namespace vandrel {

using TagTable = std::vector<std::pair<std::string, ListBox*>>;

// Fetches a tagged list, passes it through the download holder and appends
// each tag's values to its list. Throws HttpError when the download fails.
void DownloadTaggedList(HttpClient& http, TextHolder& downloadInfo, const std::string& address,
                        const TagTable& table);

// Appends each tag's values of a tagged list to its list.
void AppendTaggedList(const std::string& text, const TagTable& table);

}  // namespace vandrel
