#pragma once

#include "common/Prompt.h"

#include <deque>
#include <string>
#include <vector>

namespace ondel::test {

// A fake of a prompt port (Base: Prompt, or a window's prompt built on it) that records every
// message and answers with the queued answers. With nothing queued it goes ahead, the one
// default of every fake prompt of the tests: Yes to a question, OK to anything else. A test
// that wants No or Cancel queues it.
template <class Base> class RecordingPrompt : public Base {
public:
    using Answer = Prompt::Answer;
    using Buttons = Prompt::Buttons;
    using Icon = Prompt::Icon;

    struct Message {
        std::string title;
        std::string text;
        Buttons buttons;
        Icon icon;
    };

    Answer message(const std::string& title, const std::string& text, Buttons buttons,
                   Icon icon) override {
        messages.push_back({title, text, buttons, icon});
        if (answers.empty()) // the default button
            return buttons == Buttons::YesNo            ? Answer::Yes
                   : buttons == Buttons::YesNoDefaultNo ? Answer::No
                                                        : Answer::Ok;
        Answer a = answers.front();
        answers.pop_front();
        return a;
    }

    std::vector<Message> messages;
    std::deque<Answer> answers;
};

using FakePrompt = RecordingPrompt<Prompt>;

} // namespace ondel::test
