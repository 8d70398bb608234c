#pragma once

#include <QIcon>
#include <QObject>
#include <QString>
#include <QSystemTrayIcon>

namespace vandrel {

// One notification-area icon with a tip. The desktop's reports on it become
// three events: a left click, a double click and a right click.
class TrayIcon : public QObject {
  Q_OBJECT

 public:
  explicit TrayIcon(QObject* parent = nullptr);

  // Shows the icon with the current tip; a second Add while it is shown adds
  // no second icon and keeps the tip it has.
  void Add(const QIcon& icon);
  void Remove();
  bool isShown() const { return icon_.isVisible(); }

  QString ScreenTip() const { return screenTip_; }
  // Takes effect at the next Add.
  void setScreenTip(const QString& tip);

  // The tip as the desktop is given it: at most 63 characters.
  QString shownTip() const { return icon_.toolTip(); }

  // Whether the desktop has a notification area to show the icon in.
  static bool Available();

 signals:
  void Click();
  void DblClick();
  void RightClick();

 private:
  QSystemTrayIcon icon_;
  QString screenTip_ = " ";
};

}  // namespace vandrel
