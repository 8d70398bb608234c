#pragma once

#include <string>
#include <utility>
#include <vector>

#include "core/HttpClient.h"
#include "core/ListBox.h"
#include "core/TextHolder.h"

namespace vandrel {

using TagTable = std::vector<std::pair<std::string, ListBox*>>;

// Fetches a tagged list, passes it through the download holder and appends
// each tag's values to its list. Throws HttpError when the download fails,
// TaggedListTooLarge (the values below the bound appended) past the bound.
void DownloadTaggedList(HttpClient& http, TextHolder& downloadInfo, const std::string& address,
                        const TagTable& table);

// Appends each tag's values of a tagged list to its list; past the bound
// throws TaggedListTooLarge with the values below it appended.
void AppendTaggedList(const std::string& text, const TagTable& table);

}  // namespace vandrel
