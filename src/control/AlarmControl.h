#pragma once

#include <QObject>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

#include "control/StationController.h"
#include "stations/Schedule.h"

namespace vandrel {

// The wake-up alarm while the program runs: it looks at the clock only
// while the alarm is on, plays the chosen favourite rising from low to the
// set volume over a minute, and when a station does not play it tries the
// next favourite, then a tone, then the desktop's bell, so that it sounds.
class AlarmControl : public QObject {
  Q_OBJECT

 public:
  struct Places {
    StationController& controller;
    std::function<LocalMoment()> now;
    std::function<Millis()> steady;
    std::string toneAddress;  // the last resort before the bell
    std::function<void()> bell;
  };

  explicit AlarmControl(Places places, QObject* parent = nullptr);

  const AlarmSetting& setting() const { return setting_; }
  // Kept in the settings at once.
  void setSetting(const AlarmSetting& setting);
  // What the alarm does when its time comes.
  void sound();
  bool sounding() const { return trying_ || ramp_.isActive() || bell_.isActive(); }

 signals:
  // A station plays for the alarm, by the name it is shown under.
  void sounded(const QString& station);

 private:
  void look();
  void tryNext();

  StationController& controller_;
  std::function<LocalMoment()> now_;
  std::function<Millis()> steady_;
  std::string toneAddress_;
  std::function<void()> ring_;
  AlarmSetting setting_;
  LocalMoment lastLook_;
  QTimer look_;   // every 20 s while the alarm is on
  QTimer ramp_;   // the volume's rise
  QTimer wait_;   // a station that does not play within it is passed over
  QTimer bell_;   // nothing played at all
  Millis rampStart_{0};
  // Names and addresses still to try, the next at the back.
  std::vector<std::pair<std::string, std::string>> tries_;
  bool trying_ = false;
  int bells_ = 0;
};

}  // namespace vandrel
