#pragma once

namespace vandrel {

// The browser's own style sheet for the HTML view: how elements look
// before a page styles them; its colours are named as the palette's
// (@pageText, @link).
extern const char* const kHtmlDefaultStyle;

}  // namespace vandrel
