#pragma once

#include "common/Prompt.h"

namespace ondel::cli {

// The command-line tool's prompt: every message goes to stderr as "title: text". Nobody is
// there to answer, so a question gets the answer that changes nothing (Cancel, No).
class CliPrompt : public Prompt {
public:
    Answer message(const std::string& title, const std::string& text, Buttons buttons,
                   Icon icon) override;
};

} // namespace ondel::cli
