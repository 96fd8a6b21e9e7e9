#pragma once
// Collects the store's messages for the duration of a test.

#include <string>
#include <utility>
#include <vector>

#include "store/messages.h"

struct MessageCapture {
    std::vector<std::pair<std::string, std::string>> messages;  // text, caption

    MessageCapture() {
        sorvane::SetMessageHandler([this](std::string_view text, std::string_view caption) {
            messages.emplace_back(std::string(text), std::string(caption));
        });
    }
    ~MessageCapture() { sorvane::SetMessageHandler(nullptr); }
    MessageCapture(const MessageCapture&) = delete;
    MessageCapture& operator=(const MessageCapture&) = delete;
};
