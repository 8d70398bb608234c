#pragma once

#include <QPointer>
#include <functional>
#include <string>

#include "core/TextHolder.h"
#include "markup/Markora.h"

namespace vandrel {

// Lets the download code put its text into a Markora through Text, the
// control's default member. The box keeps line breaks as its own, so "\r\n"
// reads back as "\n"; as long as the box's text is what the last write left
// there, the written text itself is returned, byte for byte.
class MarkoraTextHolder : public TextHolder {
 public:
  explicit MarkoraTextHolder(Markora* box = nullptr) : box_(box) {}

  // The box is made at its first use: a text box's first construction scans
  // the icon theme, which a start-up should not wait for.
  void attachOnFirstUse(std::function<Markora*()> make) { make_ = std::move(make); }
  Markora* box() const;

  void setText(const std::string& text) override;
  std::string text() const override;

 private:
  mutable std::function<Markora*()> make_;
  mutable QPointer<Markora> box_;
  std::string written_;
  QString shown_;
};

}  // namespace vandrel
