#pragma once
// A small Rich Text Format writer for plain text: code page 1250, characters
// outside ASCII as \'xx, the rare character that code page lacks as \uN, and
// every line break as \par.
#include <string>
#include <string_view>

// The whole document, as bytes ready for a file or the clipboard. An empty
// text gives a valid, empty document.
std::string RtfDocument(std::u16string_view Text);
