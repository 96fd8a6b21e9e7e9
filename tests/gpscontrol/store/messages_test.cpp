#include "store/messages.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

using namespace sorvane;

TEST(Messages, DefaultGoesToStandardError) {
    SetMessageHandler(nullptr);
    testing::internal::CaptureStderr();
    ShowMessage("Memory allocation", "KelData::AddTrack");
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Memory allocation"), std::string::npos) << err;
    EXPECT_NE(err.find("KelData::AddTrack"), std::string::npos) << err;
}

TEST(Messages, HostHandlerReceivesTextAndCaption) {
    std::string text, caption;
    SetMessageHandler([&](std::string_view t, std::string_view c) {
        text = t;
        caption = c;
    });
    testing::internal::CaptureStderr();
    ShowMessage("Can't create MapDatum object", "ERROR");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(text, "Can't create MapDatum object");
    EXPECT_EQ(caption, "ERROR");
    SetMessageHandler(nullptr);
}

TEST(Messages, HandlerMayReplaceItselfWhileRunning) {
    int calls = 0;
    SetMessageHandler([&](std::string_view, std::string_view) {
        ++calls;
        SetMessageHandler([&](std::string_view, std::string_view) { calls += 10; });
    });
    ShowMessage("a", "b");
    ShowMessage("a", "b");
    EXPECT_EQ(calls, 11);
    SetMessageHandler(nullptr);
}

TEST(Messages, SettingAndShowingFromManyThreads) {
    std::atomic<int> delivered{0};
    auto handler = [&](std::string_view, std::string_view) { delivered.fetch_add(1); };
    SetMessageHandler(handler);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 500; ++i) {
                SetMessageHandler(handler);
                ShowMessage("x", "y");
            }
        });
    }
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(delivered.load(), 2000);
    SetMessageHandler(nullptr);
}
