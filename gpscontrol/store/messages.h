#pragma once
// Failure messages of the control ("Memory allocation", "Can't create MapDatum
// object"). A host decides how to show them; by default they go to stderr.

#include <functional>
#include <string_view>

namespace sorvane {

using MessageHandler = std::function<void(std::string_view text, std::string_view caption)>;

// Process-wide; safe to call from any thread. An empty handler restores the default.
void SetMessageHandler(MessageHandler handler);

// Hands the message to the current handler.
void ShowMessage(std::string_view text, std::string_view caption);

}  // namespace sorvane
