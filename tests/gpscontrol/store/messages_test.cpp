#include "store/messages.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

using namespace sorvane;

TEST(Messages, GoToTheHostHandlerElseToStandardError) {
    SetMessageHandler(nullptr);
    testing::internal::CaptureStderr();
    ShowMessage("Memory allocation", "KelData::AddTrack");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "KelData::AddTrack: Memory allocation\n");

    std::string got;
    SetMessageHandler([&](std::string_view text, std::string_view caption) {
        got = std::string(caption) + "|" + std::string(text);
        // A handler may replace itself while it runs.
        SetMessageHandler([&](std::string_view, std::string_view) { got += "+"; });
    });
    testing::internal::CaptureStderr();
    ShowMessage("Can't create MapDatum object", "ERROR");
    ShowMessage("x", "y");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(got, "ERROR|Can't create MapDatum object+");
    SetMessageHandler(nullptr);
}

TEST(Messages, SettingAndShowingFromManyThreads) {
    std::atomic<int> delivered{0};
    const auto work = [&] {
        for (int i = 0; i < 500; ++i) {
            SetMessageHandler([&](std::string_view, std::string_view) { ++delivered; });
            ShowMessage("x", "y");
        }
    };
    std::thread other(work);
    work();
    other.join();
    EXPECT_EQ(delivered.load(), 1000);
    SetMessageHandler(nullptr);
}
