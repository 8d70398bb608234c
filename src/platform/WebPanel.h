#pragma once

#include <QTimer>
#include <QWidget>
#include <string>

namespace vandrel {

class HtmlView;

// The embedded web view. Navigate starts loading and returns at once; an
// "about:" address shows the text after the colon as the page. Every page
// that cannot be loaded, or that gives no answer in time, raises
// NavigateError.
//
// The engine exists only while the window can be seen: it is built after the
// panel first paints and released when the window is hidden; a navigation
// asked for meanwhile is carried out once it is built again.
class WebPanel : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kAnswerTimeoutMs = 15000;

  explicit WebPanel(QWidget* parent = nullptr);
  ~WebPanel() override;

  void Navigate(const std::string& address);

  // The address asked for last, "about:..." included.
  const std::string& LocationURL() const { return location_; }
  // The text of the shown page, for tests; empty until a page has loaded.
  QString shownText() const { return shownText_; }
  // The address of the page shown, also one reached by a link.
  const std::string& shownAddress() const { return shown_; }
  bool hasEngine() const { return view_ != nullptr; }
  HtmlView* view() const { return view_; }
  void setAnswerTimeout(int ms);

 signals:
  void NavigateError();
  void pageLoaded();  // a page, the error page included, has finished loading
  void viewCreated();  // the view is made when the window shows; it takes the panel's place in the tab order

 protected:
  void paintEvent(QPaintEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void CreateEngine();
  void ReleaseEngine();
  void Load(const std::string& address);
  void Failed();

  HtmlView* view_ = nullptr;
  std::string location_;
  std::string shown_;     // what the engine shows, carried over a release
  std::string pending_;   // asked for while there was no engine
  QString shownText_;
  QTimer answerDeadline_;
  bool creating_ = false;
};

}  // namespace vandrel
