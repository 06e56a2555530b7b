// Small text operations of the mail class: list splitting and joining, trimming, case-blind
// comparison, the normalisation of address lists and the UTF-8 character steps. Texts are
// UTF-8; case folding touches ASCII letters only.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zankit::mail {

using TextList = std::vector<std::string>;

// Removes leading and trailing spaces (only the space character).
std::string TrimSpaces(std::string_view text);

std::string ToUpperAscii(std::string_view text);
std::string ToLowerAscii(std::string_view text);
bool EqualsNoCase(std::string_view a, std::string_view b);
// True when needle occurs anywhere in haystack, without regard to case.
bool ContainsNoCase(std::string_view haystack, std::string_view needle);

// Splits at every occurrence of delimiter. An empty text gives an empty list; an empty
// delimiter gives a one-element list holding the whole text.
TextList SplitList(std::string_view text, std::string_view delimiter);
std::string JoinList(const TextList& list, std::string_view delimiter);

// Splits at every "." (or another single character), keeping empty parts; "" gives one part.
std::vector<std::string_view> SplitAt(std::string_view text, char separator);

// Per element: trims spaces, then removes every CR LF pair, then every TAB.
void CleanAddressList(TextList& list);

// True when any byte is above 126.
bool HasByteAbove126(std::string_view text);
// True when any byte is above 127: the text is not ASCII.
bool HasNonAscii(std::string_view text);

// The number of bytes of the UTF-8 character that starts at text[at]: 2 to 4 for a lead byte
// followed by its continuation bytes, 1 for anything else (an ASCII byte, a stray byte).
std::size_t Utf8CharacterLength(std::string_view text, std::size_t at);

// Replaces every occurrence of from (non-empty) by to.
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to);

}  // namespace zankit::mail
