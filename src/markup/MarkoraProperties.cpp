#include "markup/MarkoraProperties.h"

#include <QApplication>
#include <algorithm>

#include "markup/LongColor.h"
#include "markup/Markora.h"

namespace vandrel {

namespace {

FontDescription DescriptionOf(const QFont& font, int charset) {
  FontDescription d;
  d.name = font.family().toStdString();
  d.size = font.pointSizeF() > 0 ? font.pointSizeF() : 0;
  d.weight = font.weight();
  d.italic = font.italic();
  d.underline = font.underline();
  d.strikethrough = font.strikeOut();
  d.charset = charset;
  return d;
}

QFont FontOf(const FontDescription& d) {
  QFont font;
  font.setFamily(QString::fromStdString(d.name));
  if (d.size > 0) font.setPointSizeF(d.size);
  font.setWeight(static_cast<QFont::Weight>(std::clamp(d.weight, 1, 1000)));
  font.setItalic(d.italic);
  font.setUnderline(d.underline);
  font.setStrikeOut(d.strikethrough);
  return font;
}

template <auto Value>
PropertyValue Is(const Markora&) {
  return Value;
}

PropertyValue NoText(const Markora&) { return std::string(); }

QString TextOf(const PropertyValue& value) { return QString::fromStdString(std::get<std::string>(value)); }

// A style switch or flag the box holds itself.
template <bool Markora::*Field, bool Default>
constexpr MarkoraProperty Switch(const char* key) {
  return {key, Is<Default>, [](const Markora& box) { return PropertyValue(box.*Field); },
          [](Markora& box, const PropertyValue& value) { box.*Field = std::get<bool>(value); }};
}

}  // namespace

std::span<const MarkoraProperty> MarkoraProperties() {
  using Box = Markora;
  using Value = PropertyValue;
  static constexpr MarkoraProperty kProperties[] = {
      Switch<&Box::autoColorize_, true>("AutoColorize"),
      {"AutoVerbMenu", Is<false>, [](const Box& box) { return Value(box.rtfHTML_->AutoVerbMenu()); },
       [](Box& box, const Value& v) { box.rtfHTML_->setAutoVerbMenu(std::get<bool>(v)); }},
      {"BackColor", Is<kWindowBackground>, [](const Box& box) { return Value(box.rtfHTML_->BackColor()); },
       [](Box& box, const Value& v) { box.rtfHTML_->setBackColor(std::get<std::int32_t>(v)); }},
      Switch<&Box::commentBold_, false>("CommentBold"),
      Switch<&Box::commentItalic_, true>("CommentItalic"),
      {"Enabled", Is<true>, [](const Box& box) { return Value(box.isEnabled()); },
       [](Box& box, const Value& v) { box.QWidget::setEnabled(std::get<bool>(v)); }},
      // Loading takes the stored mask as it is; only its low six bits matter.
      {"Entities", Is<std::int32_t{62}>, [](const Box& box) { return Value(box.entities_); },
       [](Box& box, const Value& v) { box.entities_ = std::get<std::int32_t>(v); }},
      Switch<&Box::entityBold_, false>("EntityBold"),
      Switch<&Box::entityItalic_, false>("EntityItalic"),
      {"FileName", NoText, [](const Box& box) { return Value(box.rtfHTML_->FileName().toStdString()); },
       [](Box& box, const Value& v) { box.rtfHTML_->setFileName(TextOf(v)); }},
      // A new box takes the container's font itself, which its description
      // may not hold in full.
      {"Font", [](const Box& box) { return Value(DescriptionOf(box.AmbientFont(), 0)); },
       [](const Box& box) { return Value(DescriptionOf(box.rtfHTML_->font(), box.fontCharset_)); },
       [](Box& box, const Value& v) {
         const auto& font = std::get<FontDescription>(v);
         box.rtfHTML_->setFont(FontOf(font));
         box.fontCharset_ = font.charset;
       },
       [](Box& box) {
         box.rtfHTML_->setFont(box.AmbientFont());
         box.fontCharset_ = 0;
       }},
      {"HideSelection", Is<false>, [](const Box& box) { return Value(box.rtfHTML_->HideSelection()); },
       [](Box& box, const Value& v) { box.rtfHTML_->setHideSelection(std::get<bool>(v)); }},
      {"Locked", Is<false>, [](const Box& box) { return Value(box.rtfHTML_->Locked()); },
       [](Box& box, const Value& v) { box.rtfHTML_->setLocked(std::get<bool>(v)); }},
      {"MaxLength", Is<std::int32_t{0}>, [](const Box& box) { return Value(box.rtfHTML_->MaxLength()); },
       [](Box& box, const Value& v) { box.rtfHTML_->setMaxLength(std::max(0, std::get<std::int32_t>(v))); }},
      {"MouseIcon", [](const Box&) { return Value(PictureData{}); },
       [](const Box& box) { return Value(box.rtfHTML_->MouseIcon()); },
       [](Box& box, const Value& v) { box.rtfHTML_->setMouseIcon(std::get<PictureData>(v)); }},
      {"MousePointer", Is<std::int32_t{0}>, [](const Box& box) { return Value(box.rtfHTML_->MousePointer()); },
       [](Box& box, const Value& v) {
         const std::int32_t pointer = std::get<std::int32_t>(v);
         box.rtfHTML_->setMousePointer((pointer >= 0 && pointer <= 15) || pointer == 99 ? pointer : 0);
       }},
      Switch<&Box::propNameBold_, false>("PropNameBold"),
      Switch<&Box::propNameItalic_, false>("PropNameItalic"),
      Switch<&Box::propValBold_, false>("PropValBold"),
      Switch<&Box::propValItalic_, false>("PropValItalic"),
      Switch<&Box::silent_, true>("Silent"),
      {"RightMargin", Is<0.0f>, [](const Box& box) { return Value(box.rtfHTML_->RightMargin()); },
       [](Box& box, const Value& v) { box.rtfHTML_->setRightMargin(std::max(0.0f, std::get<float>(v))); }},
      Switch<&Box::tagBold_, true>("TagBold"),
      Switch<&Box::tagItalic_, false>("TagItalic"),
      {"Text", NoText, [](const Box& box) { return Value(box.rtfHTML_->Text().toStdString()); },
       [](Box& box, const Value& v) { box.rtfHTML_->setText(TextOf(v)); }},
  };
  return kProperties;
}

QFont Markora::AmbientFont() const { return parentWidget() != nullptr ? parentWidget()->font() : QApplication::font(); }

void Markora::InitProperties() {
  for (const MarkoraProperty& property : MarkoraProperties()) {
    if (property.init != nullptr) {
      property.init(*this);
    } else {
      property.set(*this, property.defaultOf(*this));
    }
  }
  progressBar_ = nullptr;
}

void Markora::ReadProperties(PropertyBag& bag) {
  for (const MarkoraProperty& property : MarkoraProperties()) {
    property.set(*this, bag.ReadProperty(property.key, property.defaultOf(*this)));
  }
}

void Markora::WriteProperties(PropertyBag& bag) const {
  for (const MarkoraProperty& property : MarkoraProperties()) {
    bag.WriteProperty(property.key, property.get(*this), property.defaultOf(*this));
  }
}

}  // namespace vandrel
