#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vandrel {

// A downloaded body as UTF-8. UTF-16 with a byte order mark is converted;
// otherwise well-formed UTF-8 sequences are kept (a leading byte order mark
// dropped) and every other byte is read as Windows-1252, which old lists use,
// so one stray byte does not garble the rest.
std::string DecodeBodyText(std::string_view bytes);

bool IsValidUtf8(std::string_view bytes);

// Length of the well-formed UTF-8 sequence at pos (no overlongs, surrogates
// or values past U+10FFFF), or 0 when none starts there.
std::size_t Utf8SequenceAt(std::string_view s, std::size_t pos);

// A name or title from the network as it may stand on a screen or the bus:
// control characters go (a line break or tab becomes a blank), and so do the
// bidirectional overrides and isolates that would let "txt.exe" read
// "exe.txt". Takes UTF-8, as DecodeBodyText gives it.
std::string ScreenText(std::string_view utf8);

// The text cut to at most maxBytes, never inside a UTF-8 sequence.
std::string CutUtf8(std::string text, std::size_t maxBytes);

// Appends the UTF-8 form of a code point (at most U+10FFFF).
void AppendUtf8(std::string& out, std::uint32_t codePoint);

}  // namespace vandrel
