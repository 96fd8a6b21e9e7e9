#include "store/messages.h"

#include <cstdio>
#include <memory>
#include <mutex>

namespace sorvane {

namespace {

std::mutex g_mutex;
std::shared_ptr<const MessageHandler> g_handler;

void WriteToStderr(std::string_view text, std::string_view caption) {
    std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(caption.size()), caption.data(),
                 static_cast<int>(text.size()), text.data());
}

}  // namespace

void SetMessageHandler(MessageHandler handler) {
    std::shared_ptr<const MessageHandler> next;
    if (handler)
        next = std::make_shared<const MessageHandler>(std::move(handler));
    std::lock_guard lock(g_mutex);
    g_handler = std::move(next);
}

void ShowMessage(std::string_view text, std::string_view caption) {
    std::shared_ptr<const MessageHandler> handler;
    {
        std::lock_guard lock(g_mutex);
        handler = g_handler;
    }
    // Called outside the lock so that a handler may replace itself.
    if (handler) {
        (*handler)(text, caption);
    } else {
        WriteToStderr(text, caption);
    }
}

}  // namespace sorvane
