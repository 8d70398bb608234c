#pragma once

#include <QWidget>
#include <string>

class QWebEngineView;

namespace vandrel {

// The embedded web view. Navigate starts loading and returns at once; an
// "about:" address shows the text after the colon as the page. Every page
// that cannot be loaded raises NavigateError.
class WebPanel : public QWidget {
  Q_OBJECT

 public:
  explicit WebPanel(QWidget* parent = nullptr);

  void Navigate(const std::string& address);

  // The address asked for last, "about:..." included.
  const std::string& LocationURL() const { return location_; }
  // The text of the shown page, for tests; empty until a page has loaded.
  QString shownText() const { return shownText_; }
  QWebEngineView* view() const { return view_; }

 signals:
  void NavigateError();
  void pageLoaded();  // a page, the error page included, has finished loading

 private:
  QWebEngineView* view_;
  std::string location_;
  QString shownText_;
};

}  // namespace vandrel
