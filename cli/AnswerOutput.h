#pragma once
// The meter's answer as the tool writes it out.
#include <filesystem>
#include <string>

// The answer as UTF-8 text, one "\n" per line.
std::string AnswerUtf8(const std::string& Bytes);

// What a file named File gets: an RTF document (as the program saves its
// pane) when the name ends in ".rtf" in any letter case, else the UTF-8 text.
std::string AnswerFileContent(const std::string& Bytes, const std::filesystem::path& File);

// Replaces File with Content whole (the framework's atomic write), so File
// holds the old content or the new, never a part. Throws std::runtime_error
// with the file name and the reason when it cannot.
void ReplaceFile(const std::filesystem::path& File, const std::string& Content);
