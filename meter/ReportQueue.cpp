#include "ReportQueue.h"

#include <stdexcept>

#include <velt/comport/framework/ExceptionReport.h>

#include "MeterTexts.h"

ReportQueue::ReportQueue(ShowBox Show, WakeMainThread Wake)
    : FShow(std::move(Show)), FWake(std::move(Wake)), FMainThread(std::this_thread::get_id())
{
}

void ReportQueue::Report(const std::string& Message)
{
    {
        std::lock_guard<std::mutex> lock(FLock);
        if (FWaiting.size() < kMaxWaitingReports)
            FWaiting.push_back(Message);
        else
            ++FDropped;
    }
    if (std::this_thread::get_id() == FMainThread)
        ShowWaiting();
    else if (FWake)
        FWake();
}

bool ReportQueue::TakeNext(std::string& Text)
{
    std::lock_guard<std::mutex> lock(FLock);
    if (!FWaiting.empty()) {
        Text = std::move(FWaiting.front());
        FWaiting.pop_front();
        return true;
    }
    if (FDropped == 0)
        return false;
    Text = meter_text::DroppedReports(FDropped);
    FDropped = 0;
    return true;
}

// A report that comes while a box is open is shown by the loop of the box
// that is open, after it: boxes never stack up.
void ReportQueue::ShowWaiting()
{
    if (FShowing)
        return;
    FShowing = true;
    std::string text;
    while (TakeNext(text))
        FShow(text);
    FShowing = false;
}

void ReportQueue::Install(ReportQueue* Queue)
{
    if (Queue == nullptr) {
        SetExceptionReportHandler({});
        return;
    }
    SetExceptionReportHandler([Queue](const std::string& Message) { Queue->Report(Message); });
}
