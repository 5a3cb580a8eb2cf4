#include "AnswerOutput.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <system_error>

#include "AnswerText.h"
#include <velt/comport/ComTypes.h>
#include "RtfDocument.h"
#include "Windows1250.h"

std::string AnswerUtf8(const std::string& Bytes) { return Utf16ToUtf8(AnswerText(Bytes)); }

std::string AnswerFileContent(const std::string& Bytes, const std::filesystem::path& File)
{
    if (UpperCaseAscii(File.extension().string()) == ".RTF")
        return RtfDocument(AnswerText(Bytes));
    return AnswerUtf8(Bytes);
}

void ReplaceFile(const std::filesystem::path& File, const std::string& Content)
{
    std::filesystem::path temporary = File;
    temporary += ".velt-cli-tmp";
    const auto fail = [&](const std::string& Reason) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        throw std::runtime_error("nie udało się zapisać pliku \"" + File.string() + "\": " + Reason);
    };
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out)
            fail(std::strerror(errno));
        out.write(Content.data(), static_cast<std::streamsize>(Content.size()));
        out.close();
        if (!out)
            fail(std::strerror(errno));
    }
    std::error_code error;
    std::filesystem::rename(temporary, File, error);
    if (error)
        fail(error.message());
}
