#pragma once
// A minimal RTF reader for the tests: the text of a document as a reader
// would show it. It decodes \'xx through Qt's own Windows-1250 codec, not the
// program's table, so a wrong table entry shows up as a difference.
#include <QString>
#include <QStringDecoder>
#include <cctype>
#include <string>

namespace rtftest {

struct Parsed {
    bool Valid = false; // starts with {\rtf1, braces balance, nothing after the last }
    QString Text;
};

inline QString DecodeByte(char Byte)
{
    QStringDecoder decoder("windows-1250");
    return decoder(QByteArray(1, Byte));
}

inline Parsed ReadRtf(const std::string& Rtf)
{
    Parsed result;
    if (Rtf.rfind("{\\rtf1", 0) != 0)
        return result;
    int depth = 0;
    int skipDepth = 0; // inside a destination group such as the font table
    int skipFallback = 0;
    size_t i = 0;
    bool closed = false;
    const auto append = [&](const QString& Text) {
        if (skipDepth == 0 && depth == 1)
            result.Text += Text;
    };
    while (i < Rtf.size() && !closed) {
        const char c = Rtf[i];
        if (c == '{') {
            ++depth;
            ++i;
        } else if (c == '}') {
            if (skipDepth == depth)
                skipDepth = 0;
            --depth;
            ++i;
            closed = depth == 0;
        } else if (c == '\\') {
            const char next = i + 1 < Rtf.size() ? Rtf[i + 1] : '\0';
            if (next == '\\' || next == '{' || next == '}') {
                append(QString(QChar(next)));
                i += 2;
            } else if (next == '\'') {
                const std::string hex = Rtf.substr(i + 2, 2);
                append(DecodeByte(static_cast<char>(std::stoi(hex, nullptr, 16))));
                i += 4;
            } else {
                size_t j = i + 1;
                std::string word;
                while (j < Rtf.size() && std::isalpha(static_cast<unsigned char>(Rtf[j])))
                    word += Rtf[j++];
                std::string number;
                while (j < Rtf.size() && (std::isdigit(static_cast<unsigned char>(Rtf[j])) || Rtf[j] == '-'))
                    number += Rtf[j++];
                if (j < Rtf.size() && Rtf[j] == ' ')
                    ++j;
                if (word == "par")
                    append(QStringLiteral("\n"));
                else if (word == "tab")
                    append(QStringLiteral("\t"));
                else if (word == "u") {
                    append(QString(QChar(static_cast<char16_t>(std::stoi(number)))));
                    skipFallback = 1;
                } else if (word == "fonttbl" || word == "colortbl" || word == "stylesheet")
                    skipDepth = depth;
                i = j;
                continue;
            }
        } else if (c == '\r' || c == '\n') {
            ++i;
        } else {
            if (skipFallback > 0)
                --skipFallback;
            else
                append(QString(QChar(static_cast<unsigned char>(c))));
            ++i;
        }
    }
    result.Valid = closed && Rtf.find_first_not_of("\r\n", i) == std::string::npos;
    return result;
}

} // namespace rtftest
