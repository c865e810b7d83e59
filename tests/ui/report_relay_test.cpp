// The relay between the download worker and its dialog, on this thread, as
// any other program's message could reach it.
#include "ui/report_relay.h"

#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

#include "common/messages.h"

namespace {

using reports_t = std::vector<std::pair<WPARAM, LPARAM>>;

void keep_report(void* context, WPARAM total, LPARAM current) {
    static_cast<reports_t*>(context)->emplace_back(total, current);
}

TEST(ReportRelay, HandsOnOnlyTheReportTheWorkerHoldsWithItsOwnNumbers) {
    const auto record = std::make_shared<data_response_t>();
    reports_t handed;
    const HWND relay = create_report_relay(record, &keep_report, &handed);
    ASSERT_NE(relay, nullptr);

    SendMessageW(relay, UM_DOWNLOAD_PROGRESS, 7, 3);
    EXPECT_TRUE(handed.empty()) << "a message without a held report reached the dialog";

    // Another program's message comes first: it carries failure, the worker holds
    // progress.
    record->pending.put(1000, 250);
    SendMessageW(relay, UM_DOWNLOAD_PROGRESS, 0xFFFFFFFF, 1000);
    SendMessageW(relay, UM_DOWNLOAD_PROGRESS, 1000, 1000);
    EXPECT_EQ(handed, (reports_t{{1000, 250}}));

    record->pending.put(1000, 500);
    detach_report_relay(relay);
    SendMessageW(relay, UM_DOWNLOAD_PROGRESS, 1000, 500);
    EXPECT_EQ(handed.size(), 1u) << "a detached relay handed a report on";
    DestroyWindow(relay);
}

}  // namespace
