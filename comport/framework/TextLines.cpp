#include "TextLines.h"

std::vector<std::string> SplitLines(std::string_view Content)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < Content.size()) {
        size_t end = Content.find('\n', start);
        if (end == std::string_view::npos)
            end = Content.size();
        std::string line(Content.substr(start, end - start));
        // Only a CR right before an LF is part of the line end; any other CR,
        // the file's last byte included, is text of the line.
        if (end < Content.size() && !line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

void AppendLine(std::string& Out, std::string_view Line, std::string_view LineEnd)
{
    Out += Line;
    // A line whose text ends in CR needs CR LF after it, or the reader takes
    // that CR as part of the line end and the text loses it.
    if (!Line.empty() && Line.back() == '\r' && LineEnd == "\n")
        Out += '\r';
    Out += LineEnd;
}

std::string_view TrimBlanks(std::string_view Text)
{
    const auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
    while (!Text.empty() && isBlank(Text.front()))
        Text.remove_prefix(1);
    while (!Text.empty() && isBlank(Text.back()))
        Text.remove_suffix(1);
    return Text;
}

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameTextNoCase(std::string_view A, std::string_view B)
{
    if (A.size() != B.size())
        return false;
    for (size_t i = 0; i < A.size(); ++i)
        if (LowerAscii(A[i]) != LowerAscii(B[i]))
            return false;
    return true;
}
