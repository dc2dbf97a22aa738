#pragma once

#include <string>

namespace ondel {

// Port: a short message to the user outside the program's windows (a desktop notification).
// Texts are UTF-8 and shown as plain text. Fire and forget: nothing is reported back.
// GUI thread only.
class Notifier {
public:
    virtual ~Notifier() = default;
    virtual void notify(const std::string& title, const std::string& body) = 0;
};

} // namespace ondel
