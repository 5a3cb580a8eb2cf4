#include "AnswerOutput.h"

#include <stdexcept>
#include <system_error>

#include "AnswerText.h"
#include <velt/comport/ComTypes.h>
#include <velt/comport/framework/FileWrite.h>
#include "RtfDocument.h"
#include <velt/comport/Windows1250.h>

std::string AnswerUtf8(const std::string& Bytes) { return Utf16ToUtf8(AnswerText(Bytes)); }

std::string AnswerFileContent(const std::string& Bytes, const std::filesystem::path& File)
{
    if (UpperCaseAscii(File.extension().string()) == ".RTF")
        return RtfDocument(AnswerText(Bytes));
    return AnswerUtf8(Bytes);
}

void ReplaceFile(const std::filesystem::path& File, const std::string& Content)
{
    try {
        WriteFileAtomically(File, Content);
    } catch (const std::system_error& error) {
        throw std::runtime_error("nie udało się zapisać pliku \"" + File.string() + "\": " + error.code().message());
    }
}
