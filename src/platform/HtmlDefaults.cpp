#include "platform/HtmlDefaults.h"

namespace vandrel {

const char* const kHtmlDefaultStyle = R"css(
html { display: block; position: relative; color: @pageText; }
head, style, script, title, meta, link, template, noscript { display: none; }
body { display: block; margin: 8px; }
address, article, aside, blockquote, center, dd, details, dir, div, dl, dt, fieldset, figcaption,
figure, footer, form, header, hgroup, hr, main, menu, nav, ol, p, pre, section, summary, ul { display: block; }
p, blockquote, dl, figure, ul, ol, pre { margin-top: 1em; margin-bottom: 1em; }
blockquote, figure { margin-left: 40px; margin-right: 40px; }
h1 { display: block; font-size: 2em; margin: 0.67em 0; font-weight: bold; }
h2 { display: block; font-size: 1.5em; margin: 0.83em 0; font-weight: bold; }
h3 { display: block; font-size: 1.17em; margin: 1em 0; font-weight: bold; }
h4 { display: block; margin: 1.33em 0; font-weight: bold; }
h5 { display: block; font-size: 0.83em; margin: 1.67em 0; font-weight: bold; }
h6 { display: block; font-size: 0.67em; margin: 2.33em 0; font-weight: bold; }
ul, ol, dir, menu { padding-left: 40px; }
ul { list-style-type: disc; }
ol { list-style-type: decimal; }
ul ul, ol ul { list-style-type: circle; margin-top: 0; margin-bottom: 0; }
li { display: list-item; }
dd { margin-left: 40px; }
hr { border: 1px inset #888; margin: 0.5em auto; }
a:link, a:visited, a { color: @link; text-decoration: underline; cursor: pointer; }
b, strong, th { font-weight: bold; }
i, em, cite, var, dfn, address { font-style: italic; }
u, ins { text-decoration: underline; }
s, strike, del { text-decoration: line-through; }
pre, code, kbd, samp, tt { font-family: monospace; }
pre { white-space: pre; }
small { font-size: smaller; }
big { font-size: larger; }
sub { vertical-align: sub; font-size: smaller; }
sup { vertical-align: super; font-size: smaller; }
center { text-align: center; }
br { display: block; }
img { display: inline-block; }
table { display: table; border-collapse: separate; border-spacing: 2px; }
thead { display: table-header-group; vertical-align: middle; }
tbody { display: table-row-group; vertical-align: middle; }
tfoot { display: table-footer-group; vertical-align: middle; }
tr { display: table-row; vertical-align: inherit; }
td, th { display: table-cell; vertical-align: inherit; padding: 1px; }
th { text-align: center; }
caption { display: table-caption; text-align: center; }
input, button, select, textarea { display: inline-block; }
)css";

}  // namespace vandrel
