#include "platform/HtmlView.h"

#include <litehtml.h>

#include <QFontMetrics>
#include <QMouseEvent>
#include <QNetworkReply>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <memory>
#include <utility>
#include <vector>

#include "core/PageShape.h"
#include "core/ParsedPage.h"
#include "core/TextDecoding.h"
#include "platform/HtmlDefaults.h"

namespace vandrel {

namespace {

// The directory's pages are about 1 KB. 256 KiB of a single word parses and
// draws in about 0.1 s; more text than that is refused by its shape anyway.
constexpr qint64 kMaxPageBytes = 256 * 1024;
// What Qt's network thread may hold before it stops reading the socket.
constexpr qint64 kReadBufferBytes = 64 * 1024;

QColor ToQColor(const litehtml::web_color& c) { return QColor(c.red, c.green, c.blue, c.alpha); }

QRect ToQRect(const litehtml::position& p) { return QRect(p.x, p.y, p.width, p.height); }

litehtml::context& SharedContext() {
  static litehtml::context* context = [] {
    auto* made = new litehtml::context;
    made->load_master_stylesheet(kHtmlDefaultStyle);
    return made;
  }();
  return *context;
}

bool IsWebScheme(const QUrl& url) { return url.scheme() == "http" || url.scheme() == "https"; }

struct Font {
  QFont font;
  int ascent = 0;
};

}  // namespace

// What litehtml asks of the platform: fonts, text, boxes and links.
class HtmlView::Container : public litehtml::document_container {
 public:
  explicit Container(HtmlView& view) : view_(view) {}

  litehtml::uint_ptr create_font(const char* faceName, int size, int weight, litehtml::font_style italic,
                                 unsigned int decoration, litehtml::font_metrics* fm) override {
    auto font = std::make_unique<Font>();
    QStringList families;
    for (QString name : QString::fromUtf8(faceName).split(',', Qt::SkipEmptyParts)) {
      name = name.trimmed().remove('"').remove('\'');
      if (name == "sans-serif") font->font.setStyleHint(QFont::SansSerif);
      if (name == "serif") font->font.setStyleHint(QFont::Serif);
      if (name == "monospace") font->font.setStyleHint(QFont::Monospace);
      families << name;
    }
    font->font.setFamilies(families);
    font->font.setPixelSize(std::max(size, 1));
    font->font.setWeight(static_cast<QFont::Weight>(std::clamp(weight, 100, 900)));
    font->font.setItalic(italic == litehtml::fontStyleItalic);
    font->font.setUnderline((decoration & litehtml::font_decoration_underline) != 0);
    font->font.setStrikeOut((decoration & litehtml::font_decoration_linethrough) != 0);
    font->font.setOverline((decoration & litehtml::font_decoration_overline) != 0);
    const QFontMetrics metrics(font->font);
    font->ascent = metrics.ascent();
    if (fm != nullptr) {
      fm->ascent = metrics.ascent();
      fm->descent = metrics.descent();
      fm->height = metrics.height();
      fm->x_height = metrics.xHeight();
      fm->draw_spaces = italic == litehtml::fontStyleItalic || decoration != 0;
    }
    return reinterpret_cast<litehtml::uint_ptr>(font.release());
  }

  void delete_font(litehtml::uint_ptr font) override { delete reinterpret_cast<Font*>(font); }

  int text_width(const char* text, litehtml::uint_ptr font) override {
    return QFontMetrics(reinterpret_cast<Font*>(font)->font).horizontalAdvance(QString::fromUtf8(text));
  }

  void draw_text(litehtml::uint_ptr hdc, const char* text, litehtml::uint_ptr font, litehtml::web_color color,
                 const litehtml::position& pos) override {
    auto* painter = reinterpret_cast<QPainter*>(hdc);
    const auto* f = reinterpret_cast<Font*>(font);
    painter->setFont(f->font);
    painter->setPen(ToQColor(color));
    painter->drawText(pos.x, pos.y + f->ascent, QString::fromUtf8(text));
  }

  int pt_to_px(int pt) const override { return pt * 96 / 72; }
  int get_default_font_size() const override { return 13; }
  const char* get_default_font_name() const override { return "sans-serif"; }

  void draw_list_marker(litehtml::uint_ptr hdc, const litehtml::list_marker& marker) override {
    auto* painter = reinterpret_cast<QPainter*>(hdc);
    const QRect box = ToQRect(marker.pos);
    const QColor color = ToQColor(marker.color);
    painter->setPen(color);
    switch (marker.marker_type) {
      case litehtml::list_style_type_none:
        break;
      case litehtml::list_style_type_circle:
        painter->setBrush(Qt::NoBrush);
        painter->drawEllipse(box.adjusted(0, 0, -1, -1));
        break;
      case litehtml::list_style_type_square:
        painter->fillRect(box, color);
        break;
      case litehtml::list_style_type_disc:
        painter->setBrush(color);
        painter->drawEllipse(box);
        painter->setBrush(Qt::NoBrush);
        break;
      default:  // numbered lists
        if (marker.font != 0) painter->setFont(reinterpret_cast<Font*>(marker.font)->font);
        painter->drawText(QRect(box.x() - 40, box.y(), 40 + box.width(), box.height() * 2),
                          Qt::AlignRight | Qt::AlignTop, QString::number(marker.index) + ".");
    }
  }

  // Pictures are not fetched; they take no room.
  void load_image(const char*, const char*, bool) override {}
  void get_image_size(const char*, const char*, litehtml::size& sz) override { sz.width = sz.height = 0; }

  void draw_background(litehtml::uint_ptr hdc, const litehtml::background_paint& bg) override {
    if (bg.color.alpha == 0) return;
    reinterpret_cast<QPainter*>(hdc)->fillRect(ToQRect(bg.clip_box), ToQColor(bg.color));
  }

  void draw_borders(litehtml::uint_ptr hdc, const litehtml::borders& borders, const litehtml::position& pos,
                    bool) override {
    auto* painter = reinterpret_cast<QPainter*>(hdc);
    auto side = [&](const litehtml::border& b, QRect r) {
      if (b.width > 0 && b.style > litehtml::border_style_hidden) painter->fillRect(r, ToQColor(b.color));
    };
    side(borders.top, QRect(pos.x, pos.y, pos.width, borders.top.width));
    side(borders.bottom, QRect(pos.x, pos.y + pos.height - borders.bottom.width, pos.width, borders.bottom.width));
    side(borders.left, QRect(pos.x, pos.y, borders.left.width, pos.height));
    side(borders.right, QRect(pos.x + pos.width - borders.right.width, pos.y, borders.right.width, pos.height));
  }

  void set_caption(const char*) override {}
  void set_base_url(const char* base) override { view_.url_ = view_.url_.resolved(QUrl(QString::fromUtf8(base))); }
  void link(const std::shared_ptr<litehtml::document>&, const litehtml::element::ptr&) override {}
  void on_anchor_click(const char* url, const litehtml::element::ptr&) override {
    // Queued: the click handler is still inside the document that a new page replaces.
    QMetaObject::invokeMethod(&view_, [view = &view_, href = QString::fromUtf8(url)] { view->followLink(href); },
                              Qt::QueuedConnection);
  }
  void set_cursor(const char* cursor) override {
    view_.viewport()->setCursor(std::string_view(cursor) == "pointer" ? Qt::PointingHandCursor : Qt::ArrowCursor);
  }
  void transform_text(litehtml::tstring& text, litehtml::text_transform tt) override {
    QString t = QString::fromStdString(text);
    if (tt == litehtml::text_transform_uppercase) t = t.toUpper();
    if (tt == litehtml::text_transform_lowercase) t = t.toLower();
    if (tt == litehtml::text_transform_capitalize && !t.isEmpty()) t[0] = t[0].toUpper();
    text = t.toStdString();
  }
  // Pages bring their style with them; linked style sheets are not fetched.
  void import_css(litehtml::tstring&, const litehtml::tstring&, litehtml::tstring&) override {}
  // Nothing the directory's pages draw overflows its box.
  void set_clip(const litehtml::position&, const litehtml::border_radiuses&, bool, bool) override {}
  void del_clip() override {}

  void get_client_rect(litehtml::position& client) const override {
    client.x = client.y = 0;
    client.width = view_.viewport()->width();
    client.height = view_.viewport()->height();
  }
  std::shared_ptr<litehtml::element> create_element(const char*, const litehtml::string_map&,
                                                    const std::shared_ptr<litehtml::document>&) override {
    return nullptr;  // litehtml's own elements
  }
  void get_media_features(litehtml::media_features& media) const override {
    const QSize screen = view_.screen() != nullptr ? view_.screen()->size() : QSize(1280, 1024);
    media.type = litehtml::media_type_screen;
    media.width = view_.viewport()->width();
    media.height = view_.viewport()->height();
    media.device_width = screen.width();
    media.device_height = screen.height();
    media.color = 8;
    media.monochrome = 0;
    media.color_index = 256;
    media.resolution = 96;
  }
  void get_language(litehtml::tstring& language, litehtml::tstring& culture) const override {
    language = "en";
    culture.clear();
  }

 private:
  HtmlView& view_;
};

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
  const std::string utf8 = html.toStdString();
  // The estimate first: it keeps the parser's own run short.
  const bool fits = MeasurePage(utf8).fits() && [&] {
    const auto parsed = ParsedPageShape(utf8);
    return parsed && parsed->fits();
  }();
  try {
    if (fits) document_ = litehtml::document::createFromString(utf8.c_str(), container_.get(), &SharedContext());
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
  painter.fillRect(event->rect(), Qt::white);
  if (document_) {
    painter.setRenderHint(QPainter::Antialiasing);
    const QRect r = event->rect();
    const litehtml::position clip(r.x(), r.y(), r.width(), r.height());
    const QPoint offset = scrollOffset();
    document_->draw(reinterpret_cast<litehtml::uint_ptr>(&painter), -offset.x(), -offset.y(), &clip);
  }
  if (hasFocus()) {
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
    painter.drawRect(viewport()->rect().adjusted(1, 1, -1, -1));
  }
}

// The frame is drawn on the viewport, which the scroll area's own repaint leaves alone.
void HtmlView::focusInEvent(QFocusEvent* event) { QAbstractScrollArea::focusInEvent(event), viewport()->update(); }
void HtmlView::focusOutEvent(QFocusEvent* event) { QAbstractScrollArea::focusOutEvent(event), viewport()->update(); }

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
