#pragma once

#include "markup/core/MemoryPropertyBag.h"

namespace vandrel {

class Markora;

// The stored form of the main window's hidden DownloadInfo box: its extent,
// its font and an empty mouse icon; everything else at its default.
MemoryPropertyBag DownloadInfoProperties();

// Loads a box the way the main window loads DownloadInfo.
void LoadDownloadInfo(Markora& box);

}  // namespace vandrel
