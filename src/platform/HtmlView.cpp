#include "platform/HtmlView.h"

#include <QMouseEvent>
#include <QNetworkReply>
#include <QScrollBar>
#include <utility>
#include <vector>

#include "core/PageColours.h"
#include "core/PageShape.h"
#include "core/ParsedPage.h"
#include "core/TextDecoding.h"
#include "platform/HtmlContainer.h"
#include "platform/HtmlDefaults.h"
#include "platform/Palette.h"

namespace vandrel {

namespace {

// The directory's pages are about 1 KB. 256 KiB of a single word parses and
// draws in about 0.1 s; more text than that is refused by its shape anyway.
constexpr qint64 kMaxPageBytes = 256 * 1024;
// What Qt's network thread may hold before it stops reading the socket.
constexpr qint64 kReadBufferBytes = 64 * 1024;

// The browser's own style in the light or the dark set's colours.
litehtml::context& SharedContext(bool dark) {
  static litehtml::context* contexts[2] = {};
  if (contexts[dark] == nullptr) {
    contexts[dark] = new litehtml::context;
    contexts[dark]->load_master_stylesheet(WithPalette(kHtmlDefaultStyle, dark).toUtf8().constData());
  }
  return *contexts[dark];
}

bool IsWebScheme(const QUrl& url) { return url.scheme() == "http" || url.scheme() == "https"; }

}  // namespace

HtmlView::HtmlView(QWidget* parent) : QAbstractScrollArea(parent), container_(std::make_unique<Container>(*this)) {
  setFrameShape(QFrame::NoFrame);
  viewport()->setMouseTracking(true);
  viewport()->setAutoFillBackground(false);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  verticalScrollBar()->setSingleStep(20);
}

HtmlView::~HtmlView() {
  stop();
  document_.reset();  // its fonts go back to the container first
}

void HtmlView::load(const QUrl& url) {
  stop();
  QNetworkRequest request(url);
  request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
  request.setHeader(QNetworkRequest::UserAgentHeader, "Vandrel Internet Radio");
  request.setRawHeader("Accept", "text/html, text/plain;q=0.5");
  // Pages are small; uncompressed keeps them whole on this Qt.
  request.setRawHeader("Accept-Encoding", "identity");
  body_.clear();
  reply_ = network_.get(request);
  reply_->setReadBufferSize(kReadBufferBytes);
  QNetworkReply* reply = reply_;
  connect(reply, &QNetworkReply::metaDataChanged, this, [this, reply] {
    if (reply->header(QNetworkRequest::ContentLengthHeader).toLongLong() > kMaxPageBytes) refuse(reply);
  });
  connect(reply, &QNetworkReply::redirected, this, [this] { body_.clear(); });
  connect(reply, &QNetworkReply::readyRead, this, [this, reply] { take(reply); });
  connect(reply, &QNetworkReply::finished, this, [this, reply] { finished(reply); });
  emit loadStarted(url);
}

bool HtmlView::take(QNetworkReply* reply) {
  if (reply != reply_) return false;
  // One byte past the cap tells a page that is too large.
  const qint64 room = kMaxPageBytes + 1 - body_.size();
  if (room > 0) body_ += reply->read(room);
  if (body_.size() <= kMaxPageBytes) return true;
  refuse(reply);
  return false;
}

void HtmlView::refuse(QNetworkReply* reply) {
  if (reply != reply_) return;
  stop();
  emit loadFinished(false);
}

void HtmlView::stop() {
  if (reply_ == nullptr) return;
  QNetworkReply* reply = reply_;
  reply_ = nullptr;
  reply->disconnect(this);
  reply->abort();
  reply->deleteLater();
  body_ = QByteArray();
}

void HtmlView::finished(QNetworkReply* reply) {
  reply->deleteLater();
  if (reply != reply_) return;
  const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
  const QString type = reply->header(QNetworkRequest::ContentTypeHeader).toString().toLower();
  if (reply->error() != QNetworkReply::NoError || status >= 400 || !(type.isEmpty() || type.startsWith("text/"))) {
    reply_ = nullptr;
    body_ = QByteArray();
    emit loadFinished(false);
    return;
  }
  if (!take(reply)) return;
  reply_ = nullptr;
  const QByteArray body = std::exchange(body_, QByteArray());
  QString text = QString::fromStdString(DecodeBodyText(std::string_view(body.constData(), body.size())));
  if (type.startsWith("text/plain")) text = "<pre>" + text.toHtmlEscaped() + "</pre>";
  emit loadFinished(setHtml(text, reply->url()));
}

bool HtmlView::setHtml(const QString& html, const QUrl& base) {
  stop();
  url_ = base;
  document_.reset();
  if (&html != &source_) source_ = html;
  const std::string utf8 = html.toStdString();
  darkAsked_ = IsDarkPalette();
  darkPage_ = darkAsked_ && !PageSetsColours(utf8);
  // The estimate first: it keeps the parser's own run short.
  const bool fits = MeasurePage(utf8).fits() && [&] {
    const auto parsed = ParsedPageShape(utf8);
    return parsed && parsed->fits();
  }();
  try {
    if (fits) document_ = litehtml::document::createFromString(utf8.c_str(), container_.get(), &SharedContext(darkPage_));
    verticalScrollBar()->setValue(0);
    relayout();
  } catch (const std::exception&) {  // out of memory: the page goes, the program stays
    document_.reset();
    relayout();
  }
  emit urlChanged(url_);
  return document_ != nullptr;
}

QString HtmlView::plainText() const {
  if (!document_) return {};
  litehtml::tstring text;
  document_->root()->get_text(text);
  return QString::fromStdString(text);
}

void HtmlView::followLink(const QString& href) {
  const QUrl target = url_.resolved(QUrl(href));
  if (IsWebScheme(target)) load(target);
}

QRect HtmlView::linkRect(const QString& href) const {
  if (!document_) return {};
  const auto link = document_->root()->select_one("a[href=\"" + href.toStdString() + "\"]");
  if (!link) return {};
  // An inline element has no box of its own; its words have.
  QRect area;
  for (std::size_t i = 0; i < link->get_children_count(); ++i) {
    area |= ToQRect(link->get_child(static_cast<int>(i))->get_placement());
  }
  return area.translated(-scrollOffset());
}

void HtmlView::relayout() {
  if (document_) document_->render(viewport()->width());
  const int height = document_ ? document_->height() : 0;
  verticalScrollBar()->setPageStep(viewport()->height());
  verticalScrollBar()->setRange(0, std::max(0, height - viewport()->height()));
  viewport()->update();
}

QPoint HtmlView::scrollOffset() const { return QPoint(0, verticalScrollBar()->value()); }

void HtmlView::paintEvent(QPaintEvent* event) {
  QPainter painter(viewport());
  painter.fillRect(event->rect(), PaletteColour("@page", darkPage_));
  if (document_) {
    painter.setRenderHint(QPainter::Antialiasing);
    const QRect r = event->rect();
    const litehtml::position clip(r.x(), r.y(), r.width(), r.height());
    const QPoint offset = scrollOffset();
    document_->draw(reinterpret_cast<litehtml::uint_ptr>(&painter), -offset.x(), -offset.y(), &clip);
  }
  if (hasFocus()) {
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(PaletteColour("@focus", darkPage_), 2));
    painter.drawRect(viewport()->rect().adjusted(1, 1, -1, -1));
  }
}

// The frame is drawn on the viewport, which the scroll area's own repaint leaves alone.
void HtmlView::focusInEvent(QFocusEvent* event) { QAbstractScrollArea::focusInEvent(event), viewport()->update(); }
void HtmlView::focusOutEvent(QFocusEvent* event) { QAbstractScrollArea::focusOutEvent(event), viewport()->update(); }

void HtmlView::changeEvent(QEvent* event) {
  QAbstractScrollArea::changeEvent(event);
  const auto type = event->type();
  // The desktop turned dark or light: the page is made again in the new colours.
  if ((type == QEvent::ApplicationPaletteChange || type == QEvent::PaletteChange) && darkAsked_ != IsDarkPalette() &&
      reply_ == nullptr)  // a page under way comes in the new colours anyway
    setHtml(source_, url_);
}

void HtmlView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  relayout();
}

void HtmlView::scrollContentsBy(int, int) { viewport()->update(); }

void HtmlView::mouseMoveEvent(QMouseEvent* event) { pointer(event, &litehtml::document::on_mouse_over); }

void HtmlView::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) pointer(event, &litehtml::document::on_lbutton_down);
}

void HtmlView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) pointer(event, &litehtml::document::on_lbutton_up);
}

void HtmlView::pointer(QMouseEvent* event, PointerHandler handler) {
  if (!document_) return;
  // litehtml takes the point in the document and in the view.
  const QPoint at = event->position().toPoint();
  const QPoint doc = at + scrollOffset();
  litehtml::position::vector redraw;
  if (((*document_).*handler)(doc.x(), doc.y(), at.x(), at.y(), redraw)) viewport()->update();
}

void HtmlView::leaveEvent(QEvent* event) {
  QAbstractScrollArea::leaveEvent(event);
  if (!document_) return;
  litehtml::position::vector redraw;
  if (document_->on_mouse_leave(redraw)) viewport()->update();
}

}  // namespace vandrel
