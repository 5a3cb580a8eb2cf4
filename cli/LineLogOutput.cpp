#include "LineLogOutput.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include <velt/comport/LineLogText.h>

LineLogOutput::LineLogOutput(const std::string& FileName, std::FILE* AlsoTo) : FFileName(FileName), FAlsoTo(AlsoTo)
{
    if (FileName == "-") {
        FFile = stderr;
    } else if (!FileName.empty()) {
        FFile = std::fopen(FileName.c_str(), "w");
        if (FFile == nullptr)
            throw std::runtime_error("nie można utworzyć pliku dziennika " + FileName + ": " + std::strerror(errno));
    }
    FWriter = std::thread([this] { WriteRecords(); });
}

LineLogOutput::~LineLogOutput() { Finish(); }

void LineLogOutput::WriteRecords()
{
    TLineLogText text;
    bool more = true;
    while (more) {
        more = !FStop;
        FLog->WaitForRecords(std::chrono::milliseconds(100));
        for (const TLineRecord& record : FLog->Take()) {
            const std::string line = text.Line(record);
            for (std::FILE* stream : {FFile, FAlsoTo})
                if (stream != nullptr && std::fwrite(line.data(), 1, line.size(), stream) != line.size())
                    FWriteFailed = true;
            if (record.Kind == lrHangUp)
                FHangUpSeen = true;
        }
        for (std::FILE* stream : {FFile, FAlsoTo})
            if (stream != nullptr && std::fflush(stream) != 0)
                FWriteFailed = true;
    }
}

bool LineLogOutput::Finish()
{
    if (FFinished)
        return !FWriteFailed;
    FFinished = true;
    FStop = true; // the writer takes what is left once more, then ends
    FWriter.join();
    if (FFile != nullptr && FFile != stderr && std::fclose(FFile) != 0)
        FWriteFailed = true;
    if (FWriteFailed)
        std::fprintf(stderr, "velt-cli: nie udało się zapisać dziennika transmisji%s%s\n",
                     FFileName.empty() || FFileName == "-" ? "" : " do ", FFileName == "-" ? "" : FFileName.c_str());
    return !FWriteFailed;
}
