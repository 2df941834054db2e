#pragma once

#include <string_view>

namespace corvane {

// Monospace text is drawn smaller than the text around it (10 points where the rest has 12): the size
// follows the font family, not the tag, so code inside code, or a PRE given a serif family, keep the
// size of their family.

// The factor by which a monospace size is smaller than the ordinary size.
inline constexpr double kMonospaceScale = 10.0 / 12.0;

// Whether a "font-family" list names the monospace face: the generic "monospace" alone, or the viewer's
// preformatted font (which the built-in rules of code, PRE and the like give) alone, quoted or not. A
// list that names other families first or as fall-backs is an ordinary family.
bool IsMonospaceFamily(std::string_view family, std::string_view preFontName);

// The factor that an element's size takes when its family differs in kind from its parent's: smaller
// going to monospace, larger coming back; 1 otherwise.
double MonospaceSwitchFactor(std::string_view parentFamily, std::string_view family, std::string_view preFontName);

}  // namespace corvane
