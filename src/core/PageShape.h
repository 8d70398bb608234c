#pragma once

#include <cstdint>
#include <string_view>

namespace vandrel {

// What litehtml would make of a page, estimated in one pass over the markup
// before it builds anything: its builder recurses once per nesting level and
// its style matching walks every element's ancestors, so a deep or large page
// crashes it or holds the window for minutes.
struct PageShape {
  // litehtml builds and lays out on the window's stack: about 380 bytes a
  // level, 21,800 nested spans overflowed 8 MB. Also keeps a nested chain's
  // layout (quadratic in depth) to about 0.1 s.
  static constexpr int kMaxDepth = 512;
  // 20,000 sibling <div>x</div> take 0.3 s to parse and lay out at the
  // panel's width.
  static constexpr std::int64_t kMaxElements = 20000;
  // Layout work, in units of 0.43 µs measured on this machine: an element
  // costs 25 + its depth, a word or space 6 + depth / 10, and each byte of
  // style sheet elements / 512. 800,000 units are about 0.35 s.
  static constexpr std::int64_t kMaxCost = 800000;

  int depth = 0;
  std::int64_t elements = 0;
  std::int64_t cost = 0;

  bool fits() const { return depth <= kMaxDepth && elements <= kMaxElements && cost <= kMaxCost; }
};

// Follows the HTML parser's rules where they decide how deep and how many:
// void and raw-text elements, implied end tags, end tags that close what is
// open inside, formatting elements opened again after an implied close, and
// "/>" that closes only inside svg and math. Stops as soon as a bound is
// passed. Linear in the length of the page.
PageShape MeasurePage(std::string_view html);

}  // namespace vandrel
