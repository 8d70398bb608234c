#pragma once

#include <QAbstractScrollArea>
#include <QNetworkAccessManager>
#include <QPointer>
#include <QUrl>
#include <memory>
#include <vector>

class QNetworkReply;

namespace litehtml {
class document;
struct position;
}  // namespace litehtml

namespace vandrel {

// A page of plain HTML and CSS, fetched through Qt Network, laid out by
// litehtml and drawn with QPainter. No script runs. Links lead to web pages
// only (http, https); every other scheme goes nowhere.
class HtmlView : public QAbstractScrollArea {
  Q_OBJECT

 public:
  explicit HtmlView(QWidget* parent = nullptr);
  ~HtmlView() override;

  // Starts fetching; loadFinished tells the outcome. An HTTP error status,
  // a body that is not text, one too large, too deep or with too many
  // elements to lay out at once, or a broken connection is a failed load.
  void load(const QUrl& url);
  // False, and an empty view, for a page over the same bounds.
  bool setHtml(const QString& html, const QUrl& base = {});
  void stop();

  QUrl url() const { return url_; }
  QString plainText() const;
  // What a click on a link with this address does.
  void followLink(const QString& href);
  // Where a link with this address is drawn, in the view's coordinates;
  // empty when the page has none.
  QRect linkRect(const QString& href) const;

 signals:
  void loadStarted(const QUrl& url);
  void loadFinished(bool ok);
  void urlChanged(const QUrl& url);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;

 private:
  class Container;
  using PointerHandler = bool (litehtml::document::*)(int, int, int, int, std::vector<litehtml::position>&);
  void pointer(QMouseEvent* event, PointerHandler handler);
  bool take(QNetworkReply* reply);
  void refuse(QNetworkReply* reply);
  void finished(QNetworkReply* reply);
  void relayout();
  QPoint scrollOffset() const;

  std::unique_ptr<Container> container_;
  std::shared_ptr<litehtml::document> document_;
  QNetworkAccessManager network_;
  QPointer<QNetworkReply> reply_;
  QByteArray body_;  // of the reply under way
  QUrl url_;
  QString source_;  // of the page shown, made again when the palette turns
  bool darkAsked_ = false;  // the palette was dark when it was made
  bool darkPage_ = false;  // and it is shown in the dark set: it has no colours of its own
};

}  // namespace vandrel
