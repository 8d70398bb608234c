#include "markup/DownloadInfoSettings.h"

#include "markup/Markora.h"

namespace vandrel {

MemoryPropertyBag DownloadInfoProperties() {
  MemoryPropertyBag bag;
  // The container's own keys, in 0.01 mm.
  bag.set("_ExtentX", std::int32_t{14208});
  bag.set("_ExtentY", std::int32_t{3201});
  bag.set("Font", FontDescription{"MS Sans Serif", 8.25, 400, false, false, false, 0});
  bag.set("MouseIcon", PictureData{});
  return bag;
}

void LoadDownloadInfo(Markora& box) {
  MemoryPropertyBag bag = DownloadInfoProperties();
  box.ReadProperties(bag);
}

}  // namespace vandrel
