#pragma once

#include <string_view>

namespace vandrel {

// Whether a page gives colours of its own in its markup: a style sheet or a
// style, colour or background attribute that names a colour or background.
// Such a page was made for the background it names, or for the light one
// browsers default to, so it keeps the light defaults under a dark palette.
// What the page says in its text does not count.
bool PageSetsColours(std::string_view html);

}  // namespace vandrel
