#pragma once
// The pane's plain text as a Rich Text Format document (code page 1250).
#include <QString>
#include <string>

// The whole document, as bytes ready for a file or the clipboard. An empty
// text gives a valid, empty document.
std::string TextToRtf(const QString& Text);
