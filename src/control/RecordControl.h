#pragma once

#include <QObject>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "control/StationController.h"

namespace vandrel {

// Recording the station that plays, one file per song as the stream sends
// it. A song not heard from its start or to its end is marked "(partial)",
// or left out when the user wants only whole songs. It ends with the play,
// at another station, and when the disk fills up.
class RecordControl : public QObject {
  Q_OBJECT

 public:
  struct Places {
    StationController& controller;
    std::function<std::string()> folder;  // where the files go, made when missing
    std::function<std::string()> stamp;   // the date and time, for a song without a title
    std::function<std::uint64_t(const std::string& folder)> freeBytes;
  };

  explicit RecordControl(Places places, QObject* parent = nullptr);
  ~RecordControl() override;

  // False when nothing plays, the folder cannot be made or the disk is full.
  bool start();
  void stop();
  bool recording() const { return !current_.empty(); }
  void setKeepPartial(bool keep) { keepPartial_ = keep; }
  // The files finished in this run, in order.
  const std::vector<std::string>& files() const { return files_; }

 signals:
  void changed();
  // Stopped, or not started, for want of disk space.
  void diskFull();

 private:
  void next(const std::string& title);
  void finish(bool partial);
  bool enoughSpace();

  StationController& controller_;
  Places places_;
  std::string folder_;
  std::string current_;  // the file written now
  bool currentPartial_ = false;
  bool keepPartial_ = true;
  std::vector<std::string> files_;
  QTimer space_;
};

}  // namespace vandrel
