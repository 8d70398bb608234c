#include "stations/StationListLoader.h"

#include "core/TaggedList.h"
#include "stations/TaggedListDownload.h"

namespace vandrel {

bool LoadStationLists(HttpClient& http, TextHolder& downloadInfo, const std::string& baseAddress,
                      const std::string& bestand, StationLists lists) {
  lists.names.Clear();
  lists.urls.Clear();
  lists.homepages.Clear();
  try {
    // The file name goes into the address as it stands.
    DownloadTaggedList(http, downloadInfo, baseAddress + "radio/inter/zenders/" + bestand,
                       {{"naam", &lists.names}, {"url", &lists.urls}, {"homepage", &lists.homepages}});
  } catch (const HttpError&) {
    return false;
  } catch (const TaggedListTooLarge&) {
    return false;
  }
  return true;
}

}  // namespace vandrel
