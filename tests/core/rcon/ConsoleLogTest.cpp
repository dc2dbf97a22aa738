#include "rcon/ConsoleLog.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

using namespace ondel;

namespace {

const std::string kStamp = "01/02/14 03:04:05";

ConsoleOptions opts(bool date, bool empty, bool convert) {
    ConsoleOptions o;
    o.showDateTime = date;
    o.showEmptyLines = empty;
    o.convertLogMessages = convert;
    return o;
}

std::string converted(std::string line) {
    ConsoleLog::convertLogLine(line);
    return line;
}

} // namespace

TEST(ConsoleLog, RenderingOfOneEntry) {
    const std::string T = kStamp + "\t";
    struct Case {
        std::string text;
        ConsoleOptions options;
        std::string shown;
    } cases[] = {
        {"word\n", opts(true, false, false), T + "word\r\n"},
        {"word\n", opts(false, false, false), "word\r\n"},
        {"word", opts(false, false, false), "word\r\n"},
        // Continuation lines line up under the text column.
        {"one\ntwo\n", opts(true, false, false), T + "one\r\n\t\ttwo\r\n"},
        {"one\ntwo\n", opts(false, false, false), "one\r\ntwo\r\n"},
        {"a\n\nb", opts(true, false, false), T + "a\r\n\t\t\r\n\t\tb\r\n"},
        {"a\n\n\n", opts(false, false, false), "a\r\n\r\n\r\n"}, // only one final LF goes
        // Empty entries need the option; a lone line feed is always an (empty) line.
        {"", opts(true, false, false), ""},
        {"", opts(false, true, false), "\r\n"},
        {"", opts(true, true, false), T + "\r\n"},
        {"\n", opts(false, false, false), "\r\n"},
        {"\n", opts(true, false, false), T + "\r\n"},
        // Carriage returns of the server are not line breaks of ours.
        {"a\r\nb", opts(false, false, false), "a\r\r\nb\r\n"},
        // Conversion happens after the final line feed is gone and before the line breaks.
        {"og L 01/01/2014 - 01:25:17: Started map \"de_dust\"\n", opts(false, false, true),
         "Started map \"de_dust\"\r\n"},
        {"og L 01/01/2014 - 01:25:17: Started map \"de_dust\"\n", opts(false, false, false),
         "og L 01/01/2014 - 01:25:17: Started map \"de_dust\"\r\n"},
        {"og L 01/01/2014 - 01:25:17: x\ny\n", opts(true, false, true), T + "x\r\n\t\ty\r\n"},
        // Bytes that are not UTF-8 are shown as Windows-1252.
        {"M\xFCller\n", opts(false, false, false), "M\xC3\xBCller\r\n"},
        {"gr\xC3\xBC\xC3\x9F\n", opts(false, false, false), "gr\xC3\xBC\xC3\x9F\r\n"},
    };
    for (const auto& c : cases) {
        ConsoleEntry entry{c.text, kStamp};
        EXPECT_EQ(ConsoleLog::renderEntry(entry, c.options), c.shown) << '"' << c.text << '"';
    }
}

TEST(ConsoleLog, ConvertLogLine) {
    struct Case {
        std::string in;
        std::string out;
    } cases[] = {
        // A real line of a brute-force attempt against a current server.
        {"og L 01/01/2014 - 01:25:17: Bad Rcon: \"rcon 1146003691 \"284\"  sv_contact \"HLBrute "
         "1.10\"\" from \"31.29.29.89:57370\"",
         "31.29.29.89:57370 (Bad Rcon): sv_contact \"HLBrute 1.10\""},
        {"og L 05/06/2024 - 10:11:12: Rcon: \"rcon 4711 \"secret\" status\" from "
         "\"127.0.0.1:7130\"",
         "127.0.0.1:7130: status"},
        // Old protocol (no number), and a command that itself holds the separator text.
        {"og L 05/06/2024 - 10:11:12: Rcon: \"rcon \"pw\" say \" from \"x\" from \"1.2.3.4:5\"",
         "1.2.3.4:5: say \" from \"x"},
        // Not the rcon shape inside the quotes: the quoted text is shown whole.
        {"og L 05/06/2024 - 10:11:12: Rcon: \"status\" from \"1.2.3.4:5\"", "1.2.3.4:5: status"},
        {"og L 05/06/2024 - 10:11:12: Rcon: \"rcon 12 pw status\" from \"1.2.3.4:5\"",
         "1.2.3.4:5: rcon 12 pw status"},
        // Without an address the line only loses its date.
        {"og L 05/06/2024 - 10:11:12: Rcon: \"rcon 1 \"p\" status\"",
         "Rcon: \"rcon 1 \"p\" status\""},
        {"og L 05/06/2024 - 10:11:12: Rcon: \"rcon 1 \"p\" status\" from \"\"",
         "Rcon: \"rcon 1 \"p\" status\" from \"\""},
        // The older form: Rcon from "ADDRESS":"(COMMAND)".
        {"og L 01/01/2003 - 12:00:00: Rcon from \"1.2.3.4:27005\":\"(status)\"",
         "1.2.3.4:27005: status"},
        {"og L 01/01/2003 - 12:00:00: Bad Rcon from \"1.2.3.4:27005\":\"(rcon_password x)\"",
         "1.2.3.4:27005 (Bad Rcon): rcon_password x"},
        {"og L 01/01/2003 - 12:00:00: Rcon from \"1.2.3.4:27005\":\"(", "1.2.3.4:27005: "},
        {"og L 01/01/2003 - 12:00:00: Rcon from \"1.2.3.4:27005\":\"(x", "1.2.3.4:27005: "},
        // Separator missing or at the very start: only the date goes.
        {"og L 01/01/2003 - 12:00:00: Rcon from \"1.2.3.4 status", "Rcon from \"1.2.3.4 status"},
        {"og L 01/01/2003 - 12:00:00: Rcon from \"\":\"(status)\"", "Rcon from \"\":\"(status)\""},
        // Other log lines lose their 28-byte prefix; short ones vanish; others stay.
        {"og L 01/01/2014 - 01:25:17: World triggered \"Round_Start\"",
         "World triggered \"Round_Start\""},
        {"og L 01/01/2014", ""},
        {"og L", ""},
        {"log L 01/01/2014 - 01:25:17: x", "log L 01/01/2014 - 01:25:17: x"},
        {"status output", "status output"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(converted(c.in), c.out) << c.in;
}

TEST(ConsoleLog, ConversionOnlyWithTheOption) {
    const std::string bad = "og L 01/01/2014 - 01:25:17: Bad Rcon: \"rcon 1 \"x\" status\" from "
                            "\"9.9.9.9:1\"\n";
    ConsoleLog log;
    log.append(bad, kStamp);
    log.setOptions(opts(false, false, false));
    log.render();
    EXPECT_EQ(log.text(), bad.substr(0, bad.size() - 1) + "\r\n");
    log.setOptions(opts(false, false, true));
    auto update = log.render();
    EXPECT_TRUE(update.replaceAll);
    EXPECT_EQ(log.text(), "9.9.9.9:1 (Bad Rcon): status\r\n");
}

TEST(ConsoleLog, NewEntryAppendsOnlyItsRenderingAndOptionChangeRebuilds) {
    ConsoleLog log;
    auto first = log.render();
    EXPECT_TRUE(first.replaceAll);
    EXPECT_EQ(first.text, "");

    log.append("one\n", kStamp);
    auto second = log.render();
    EXPECT_FALSE(second.replaceAll);
    EXPECT_EQ(second.text, kStamp + "\tone\r\n");

    log.append("", kStamp); // skipped: nothing to append
    auto third = log.render();
    EXPECT_FALSE(third.replaceAll);
    EXPECT_EQ(third.text, "");

    log.setOptions(opts(false, true, false));
    auto fourth = log.render();
    EXPECT_TRUE(fourth.replaceAll);
    EXPECT_EQ(fourth.text, "one\r\n\r\n");
    EXPECT_EQ(log.text(), "one\r\n\r\n");

    // Setting the same options again is no change.
    log.setOptions(opts(false, true, false));
    log.append("two", kStamp);
    auto fifth = log.render();
    EXPECT_FALSE(fifth.replaceAll);
    EXPECT_EQ(fifth.text, "two\r\n");
}

TEST(ConsoleLog, IncrementalOutputEqualsAFullRebuild) {
    // Pieces chosen to hit every rule: line feeds at the end, inside and doubled, empty texts,
    // log lines of every shape, bytes that are not UTF-8.
    const std::vector<std::string> pieces = {
        "",
        "\n",
        "word\n",
        "a\nb\n",
        "x\n\n",
        "\xE4\xF6\n",
        "\xC3\xA4",
        "og L 01/01/2014 - 01:25:17: Rcon: \"rcon 5 \"p\" status\" from \"1.2.3.4:5\"\n",
        "og L 01/01/2014 - 01:25:17: Bad Rcon from \"1.2.3.4:5\":\"(kick x)\"\n",
        "og L 01/01/2014 - 01:25:17: Kill\nmore\n",
        "og L",
    };
    std::mt19937 rng(20140101);
    for (int round = 0; round < 200; ++round) {
        ConsoleLog log(1 + rng() % 15); // small limits: the oldest go often
        std::size_t appended = 0;
        std::string shown; // what a text box fed with the updates would hold
        int steps = static_cast<int>(rng() % 40);
        for (int step = 0; step < steps; ++step) {
            auto what = rng() % 10;
            if (what < 7) {
                int n = 1 + static_cast<int>(rng() % 3); // sometimes several before a render
                for (int k = 0; k < n; ++k) {
                    std::string stamp = ConsoleLog::timeStamp(
                        LocalDateTime{2014, 1, 1 + step % 28, step % 24, k, round % 60});
                    log.append(pieces[rng() % pieces.size()], stamp);
                    ++appended;
                }
            } else if (what < 9) {
                log.setOptions(opts(rng() % 2, rng() % 2, rng() % 2));
            }
            auto update = log.render();
            if (update.replaceAll) {
                shown.assign(update.text);
            } else {
                ASSERT_EQ(shown.substr(0, update.dropped.size()), update.dropped);
                shown.erase(0, update.dropped.size());
                shown.append(update.text);
            }
            ASSERT_LE(log.size(), log.maxEntries());
            ASSERT_EQ(log.size() + log.droppedCount(), appended);
            ASSERT_EQ(shown, ConsoleLog::renderAll(log.entries(), log.options()))
                << "round " << round << " step " << step;
            ASSERT_EQ(log.text(), shown);
        }
    }
}

TEST(ConsoleLog, KeepsTheLatestEntriesAndCutsTheDroppedTextFromTheFront) {
    ConsoleLog log(20);
    log.setOptions(opts(false, false, false));
    for (int i = 0; i < 20; ++i)
        log.append(std::to_string(i), kStamp);
    log.render();
    EXPECT_EQ(log.droppedCount(), 0u);

    log.append("20", kStamp); // one over: the oldest tenth goes
    auto update = log.render();
    EXPECT_FALSE(update.replaceAll);
    EXPECT_EQ(update.dropped, "0\r\n1\r\n");
    EXPECT_EQ(update.text, "20\r\n");
    EXPECT_EQ(log.droppedCount(), 2u);
    ASSERT_EQ(log.size(), 19u);
    EXPECT_EQ(log.entries().front().text, "2");
    EXPECT_EQ(log.entries().back().text, "20");

    // Entries dropped before they were ever rendered cut nothing.
    std::string before = log.text();
    for (int i = 21; i < 45; ++i)
        log.append(std::to_string(i), kStamp);
    update = log.render();
    EXPECT_EQ(log.entries().front().text, std::to_string(45 - log.size()));
    EXPECT_EQ(before.substr(0, update.dropped.size()), update.dropped);
    EXPECT_EQ(log.text(), before.substr(update.dropped.size()) + std::string(update.text));
    EXPECT_EQ(log.text(), ConsoleLog::renderAll(log.entries(), log.options()));

    log.setMaxEntries(3);
    EXPECT_EQ(log.size(), 3u);
    EXPECT_EQ(log.entries().front().text, "42");
}

TEST(ConsoleLog, EndlessOutputIsBoundedInBytesAndTheNewestStays) {
    // Room for many entries but 10,000 bytes of text: a stream of 1,000-byte lines.
    ConsoleLog log(100000, 10000);
    log.setOptions(opts(false, false, false));
    std::string before;
    for (int i = 0; i < 500; ++i) {
        log.append(std::to_string(i) + " " + std::string(995, 'x'), kStamp);
        ASSERT_LE(log.bytes(), 10000u) << i;
        ASSERT_EQ(log.entries().back().text.rfind(std::to_string(i) + " ", 0), 0u) << i;
        if (i % 37 == 0) {
            log.render();
            ASSERT_EQ(log.text(), ConsoleLog::renderAll(log.entries(), log.options())) << i;
        }
    }
    EXPECT_GE(log.size(), 8u); // it drops in tenths, not down to nothing
    EXPECT_EQ(log.droppedCount() + log.size(), 500u);
    // An entry larger than the whole limit is still shown, alone.
    log.append(std::string(20000, 'y'), kStamp);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log.entries().back().text.size(), 20000u);
}

TEST(ConsoleLog, TimeStampIsSeventeenCharacters) {
    EXPECT_EQ(ConsoleLog::timeStamp(LocalDateTime{2014, 1, 2, 3, 4, 5}), "01/02/14 03:04:05");
    EXPECT_EQ(ConsoleLog::timeStamp(LocalDateTime{2000, 12, 31, 23, 59, 58}), "12/31/00 23:59:58");
    EXPECT_EQ(ConsoleLog::timeStamp(LocalDateTime{1999, 7, 9, 0, 0, 0}).size(), 17u);
}

TEST(ConsoleLog, SentCommandIsALineOfItsOwnWhileTheOptionIsOn) {
    const ConsoleEntry sent{"echo one", kStamp, true};
    ConsoleOptions options = opts(false, false, true);
    EXPECT_EQ(ConsoleLog::renderEntry(sent, options), "> echo one\r\n");
    options.showDateTime = true;
    EXPECT_EQ(ConsoleLog::renderEntry(sent, options), kStamp + "\t> echo one\r\n");
    options.showSentCommands = false;
    EXPECT_EQ(ConsoleLog::renderEntry(sent, options), "");
    // A printed text that looks like a command stays whatever the option says.
    EXPECT_EQ(
        ConsoleLog::renderEntry(ConsoleEntry{"echo one\n", kStamp}, opts(false, false, false)),
        "echo one\r\n");
}
