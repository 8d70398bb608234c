#pragma once

#include <string>

#include "control/StationController.h"
#include "core/HttpClient.h"
#include "core/LanguageTable.h"
#include "core/TextHolder.h"

namespace vandrel {

// What the country chooser and the station search need: the directory, the
// download box the lists pass through, the texts, and the controller whose
// country and station they set.
struct DirectoryPorts {
  HttpClient& http;
  TextHolder& downloadInfo;
  std::string baseAddress;
  const LanguageTable& texts;
  StationController& controller;
};

}  // namespace vandrel
