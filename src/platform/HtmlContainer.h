#pragma once

// What litehtml asks of the platform for the HTML view: fonts, text, boxes
// and links. Only HtmlView.cpp includes it.
#include <litehtml.h>

#include <QFontMetrics>
#include <QPainter>
#include <QScreen>
#include <memory>
#include <string_view>

#include "platform/HtmlView.h"

namespace vandrel {

inline QColor ToQColor(const litehtml::web_color& c) { return QColor(c.red, c.green, c.blue, c.alpha); }

inline QRect ToQRect(const litehtml::position& p) { return QRect(p.x, p.y, p.width, p.height); }

struct HtmlFont {
  QFont font;
  int ascent = 0;
};

// What litehtml asks of the platform: fonts, text, boxes and links.
class HtmlView::Container : public litehtml::document_container {
 public:
  explicit Container(HtmlView& view) : view_(view) {}

  litehtml::uint_ptr create_font(const char* faceName, int size, int weight, litehtml::font_style italic,
                                 unsigned int decoration, litehtml::font_metrics* fm) override {
    auto font = std::make_unique<HtmlFont>();
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

  void delete_font(litehtml::uint_ptr font) override { delete reinterpret_cast<HtmlFont*>(font); }

  int text_width(const char* text, litehtml::uint_ptr font) override {
    return QFontMetrics(reinterpret_cast<HtmlFont*>(font)->font).horizontalAdvance(QString::fromUtf8(text));
  }

  void draw_text(litehtml::uint_ptr hdc, const char* text, litehtml::uint_ptr font, litehtml::web_color color,
                 const litehtml::position& pos) override {
    auto* painter = reinterpret_cast<QPainter*>(hdc);
    const auto* f = reinterpret_cast<HtmlFont*>(font);
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
        if (marker.font != 0) painter->setFont(reinterpret_cast<HtmlFont*>(marker.font)->font);
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

}  // namespace vandrel
