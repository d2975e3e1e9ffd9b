// The text a reader sees on a page, as lines of words, for showing what changed between two
// versions of it.
//
// Tags, comments, declarations and the content of script and style elements are left out;
// character references are decoded; block elements (paragraphs, divisions, list items, table
// rows, headings, line breaks...) end lines; runs of blanks, table cells, images and controls
// separate words, while inline elements (bold, links, spans) may sit inside a word. Bytes inside
// the masked spans (the parts of the page that change on every download) are left out as well,
// while the tag structure is read from the whole document, so a span that begins inside a tag
// leaves no stray text behind. A document that is not UTF-8 is read as Windows-1252, so every
// word is UTF-8.
//
// One forward pass over untrusted bytes; nothing is read past the end. Pure; any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "smartupdate/compare.h"

namespace tw {

using TextLine = std::vector<std::string>;  // the words of one line, none empty

// The non-empty lines of the document's visible text, without what `masked` covers.
std::vector<TextLine> VisibleText(std::string_view html, const std::vector<ByteSpan>& masked);

}  // namespace tw
