#pragma once

#include "MasterRecord.h"

namespace ondel {

// Shows a master server message to the user and waits until the window is closed.
class MasterMessagePrompt {
public:
    enum class Outcome {
        Closed,        // closed without confirming "Don't show again"
        DontShowAgain, // "Don't show again" ticked and confirmed with OK
        Aborted,       // never answered: the program is ending
    };

    virtual ~MasterMessagePrompt() = default;
    // Called on the master session's worker thread; blocks it until the user has answered.
    virtual Outcome showMessage(const MasterMessage& message) = 0;
};

} // namespace ondel
