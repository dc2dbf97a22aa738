#pragma once

#include <string>

namespace ondel {

// Questions and messages for the user. The window shows message boxes; the command-line tool
// prints to stderr; tests answer with a fake. Texts are UTF-8 (server bytes already converted).
class Prompt {
public:
    enum class Icon { None, Error, Stop, Question, Warning, Information };
    // YesNo has Yes as the default button (what Enter gives), YesNoDefaultNo has No: for a
    // question whose Yes can do harm that a hurried Enter should not.
    enum class Buttons { Ok, OkCancel, YesNo, YesNoDefaultNo };
    enum class Answer { Ok, Cancel, Yes, No };

    virtual ~Prompt() = default;
    // Shows a modal message box and waits for the answer.
    virtual Answer message(const std::string& title, const std::string& text, Buttons buttons,
                           Icon icon) = 0;
};

} // namespace ondel
