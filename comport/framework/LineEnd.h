#pragma once
// The line end of text files this platform's own tools write: "\r\n" on
// Windows, "\n" elsewhere. Files that exist keep the line ends they have.
const char* NativeLineEnd();
