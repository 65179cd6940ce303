// The plain text the logo view shows of a help page: the lines between the
// comment lines "Text Begin" and "Text End", with "<p>" and "<br>" at a
// line's end turned into line breaks and every tag removed.
#pragma once
#include <string>
#include <vector>

namespace halvix {

// At most this many characters of a line are kept.
constexpr size_t kLogoLineMax = 1023;

// The text of a page given as its lines (without line ends).
std::string ExtractLogoText(const std::vector<std::string>& lines);
// The lines of a text file; false when it cannot be opened.
bool ReadTextLines(const std::wstring& path, std::vector<std::string>* lines);

}  // namespace halvix
