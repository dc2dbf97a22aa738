// The console's log line conversion and rendering, driven by a sequence of commands (the low two
// bits of a command byte): append an entry (16-bit length, bytes), change the options (next
// byte), render. No crash; every rendering is valid UTF-8; the text built incrementally is the
// text of a full rebuild; a converted line is never longer than the line it came from.
#include "FuzzCheck.h"
#include "FuzzInput.h"

#include "common/Text.h"
#include "rcon/ConsoleLog.h"

#include <cstdint>
#include <string>

using ondel::ConsoleLog;

namespace {

void checkRender(ConsoleLog& log) {
    std::string before = log.text();
    ConsoleLog::Update u = log.render();
    if (u.replaceAll) {
        FUZZ_CHECK(u.text == log.text());
    } else {
        FUZZ_CHECK(log.text().size() == before.size() + u.text.size());
        FUZZ_CHECK(log.text().compare(0, before.size(), before) == 0);
        FUZZ_CHECK(log.text().compare(before.size(), u.text.size(), u.text) == 0);
    }
    FUZZ_CHECK(log.text() == ConsoleLog::renderAll(log.entries(), log.options()));
    FUZZ_CHECK(ondel::text::isValidUtf8(log.text()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput in(data, size);
    ConsoleLog log;
    int entries = 0;
    while (!in.empty()) {
        switch (in.byte() & 3) {
        case 0:
        case 3: {
            auto b = in.sizedBlock();
            std::string text(b.begin(), b.end());
            std::string converted = text;
            ConsoleLog::convertLogLine(converted);
            FUZZ_CHECK(converted.size() <= text.size());
            if (text.compare(0, 4, "og L") != 0)
                FUZZ_CHECK(converted == text);
            // Keeps the log small enough that the full rebuild stays cheap per input.
            if (++entries <= 64)
                log.append(std::move(text), "01/02/03 04:05:06");
            break;
        }
        case 1: {
            std::uint8_t bits = in.byte();
            log.setOptions({(bits & 1) != 0, (bits & 2) != 0, (bits & 4) != 0});
            break;
        }
        case 2:
            checkRender(log);
            break;
        }
    }
    checkRender(log);
    return 0;
}
