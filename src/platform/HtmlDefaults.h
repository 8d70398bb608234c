#pragma once

namespace vandrel {

// The browser's own style sheet for the HTML view: how elements look
// before a page styles them.
extern const char* const kHtmlDefaultStyle;

}  // namespace vandrel
