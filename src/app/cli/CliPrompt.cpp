#include "CliPrompt.h"

#include <cstdio>

namespace ondel::cli {

Prompt::Answer CliPrompt::message(const std::string& title, const std::string& text,
                                  Buttons buttons, Icon) {
    std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
    switch (buttons) {
    case Buttons::Ok:
        return Answer::Ok;
    case Buttons::OkCancel:
        return Answer::Cancel;
    case Buttons::YesNo:
        return Answer::No;
    }
    return Answer::Cancel;
}

} // namespace ondel::cli
