// Hostile server text in the windows: names, maps, player names, rule values, the remote
// console's output and master messages that hold HTML, control characters, invalid UTF-8 or
// 64 KiB of text are shown as plain text (the tags literally), cut only where a control needs
// it, and never interpreted: no label renders them as rich text and no tool tip carries them.
#include "../../core/query/ReplyBuilder.h"
#include "../monitor/MonitorFixture.h"
#include "common/Text.h"
#include "query/QueryEngine.h"
#include "ui/master/MessageDialog.h"
#include "ui/monitor/ServerSelector.h"
#include "ui/rcon/RconConsole.h"
#include "ui/toolkit/CEditEx.h"
#include "ui/toolkit/CStaticEx.h"

#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QUdpSocket>

#include <gtest/gtest.h>

#include <string>

using namespace ondel;
using namespace ondel::test;

namespace {

const std::string kHtml = "<b>x</b><img src=x>";
const std::string kControl = "a\x01\x07\x08\tb\x1b[31mc\x7f";
const std::string kInvalid = "caf\xe9 \xff \xc3(";

// One hostile text: HTML, control characters and invalid UTF-8 around a tag of its own.
std::string hostile(const std::string& tag) {
    return kHtml + " " + tag + " " + kControl + " " + kInvalid;
}

// 64 KiB of markup.
std::string huge(char fill) {
    std::string s;
    while (s.size() < 64 * 1024)
        s += "<i>" + std::string(29, fill);
    return s;
}

// What a server text looks like on screen: its bytes as UTF-8 (Windows-1252 when invalid).
QString shown(const std::string& bytes) {
    return QString::fromStdString(text::toDisplayUtf8(bytes));
}

// The parts of a hostile text that must appear as they are.
void expectLiteral(const QString& text, const std::string& tag, const char* where) {
    EXPECT_TRUE(text.contains(QString::fromStdString(kHtml))) << where;
    EXPECT_TRUE(text.contains(QString::fromStdString(tag))) << where;
    EXPECT_TRUE(text.contains(QString::fromUtf8("caf\xc3\xa9"))) << where;
}

// No widget of the application shows markup as rich text or in a tool tip.
void expectNothingInterpreted() {
    for (QWidget* w : QApplication::allWidgets()) {
        auto* label = qobject_cast<QLabel*>(w);
        if (label && label->text().contains('<')) {
            EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->text().left(60).toStdString();
        }
        EXPECT_FALSE(w->toolTip().contains(QStringLiteral("<img"))) << w->toolTip().toStdString();
    }
}

ServerEntry hostileEntry(const std::string& host) {
    ServerEntry e;
    e.address = parseAddress(host);
    e.infoValid = true;
    e.rulesValid = true;
    e.hostName = hostile("name");
    e.map = hostile("map");
    e.gameDir = "valve";
    e.gameDescription = hostile("game");
    e.adminModVersion = hostile("amx");
    e.comment = hostile("comment");
    e.rules = {{hostile("rulename"), hostile("rulevalue")}};
    PlayerRecord p;
    p.index = 1;
    p.name = hostile("player");
    e.playerList = {p};
    return e;
}

// A server on loopback that answers the window's requests with the replies it is given, and
// prints text on request.
class FakeServer {
public:
    bool start() { return m_socket.bind(QHostAddress::LocalHost, 0); }
    QString address() const { return QStringLiteral("127.0.0.1:%1").arg(m_socket.localPort()); }

    void answer(const std::string& request, Bytes reply) { m_replies[request] = std::move(reply); }
    // Sends datagrams to the window's socket from the server's address.
    void sendTo(int port, const Bytes& d) {
        m_socket.writeDatagram(reinterpret_cast<const char*>(d.data()),
                               static_cast<qint64>(d.size()), QHostAddress::LocalHost,
                               static_cast<quint16>(port));
    }
    // Answers what arrived so far; returns how many requests it saw in all.
    int serve() {
        while (m_socket.hasPendingDatagrams()) {
            QByteArray d(static_cast<int>(m_socket.pendingDatagramSize()), '\0');
            QHostAddress from;
            quint16 port = 0;
            m_socket.readDatagram(d.data(), d.size(), &from, &port);
            ++m_requests;
            std::string text = d.mid(4).toStdString();
            while (!text.empty() && (text.back() == '\0' || text.back() == '\n'))
                text.pop_back();
            auto it = m_replies.find(text);
            if (it != m_replies.end())
                sendTo(port, it->second);
        }
        return m_requests;
    }

private:
    QUdpSocket m_socket;
    std::map<std::string, Bytes> m_replies;
    int m_requests = 0;
};

class HostileText : public MonitorFixture {};

} // namespace

TEST_F(HostileText, StoredRecordIsShownLiterallyInEveryField) {
    const ServerEntry e = hostileEntry("192.0.2.7:27015");
    openWindow([&](Application& app) { app.lists().at(0).storeEntry(e); });
    // Chosen as the user would: the stored record, with the user's comment, becomes current.
    m_dialog->setServerText(QString::fromStdString(addressText(e.address)));

    expectLiteral(control<QPlainTextEdit>(1012)->toPlainText(), "name", "host name");
    EXPECT_EQ(control<QPlainTextEdit>(1012)->toPlainText(), shown(e.hostName));
    EXPECT_EQ(fieldText(1013), shown(e.map));
    EXPECT_EQ(fieldText(1015), shown(e.gameDescription));
    expectLiteral(fieldText(1019), "amx", "admin mod");
    expectLiteral(control<QPlainTextEdit>(1018)->toPlainText(), "comment", "comment");
    expectLiteral(m_dialog->windowTitle(), "name", "title");

    ColorListCtrl* players = playerView(*m_dialog);
    ASSERT_EQ(players->rowCount(), 1);
    EXPECT_EQ(players->itemText(0, 2), shown(e.playerList[0].name));
    ColorListCtrl* rules = rulesView(*m_dialog);
    ASSERT_EQ(rules->rowCount(), 1);
    EXPECT_EQ(rules->itemText(0, 2), shown(e.rules[0].name));
    EXPECT_EQ(rules->itemText(0, 3), shown(e.rules[0].value));

    // The server drop-down lists the stored record with its name as it is.
    QComboBox* selector = serverSelector(*m_dialog);
    bool found = false;
    for (int i = 0; i < selector->count(); ++i)
        for (int role : {int(Qt::DisplayRole), int(ServerSelector::HostNameRole)})
            found = found ||
                    selector->itemData(i, role).toString().contains(QString::fromStdString(kHtml));
    EXPECT_TRUE(found);

    expectNothingInterpreted();
    // Painting every control with these texts works.
    EXPECT_FALSE(m_dialog->grab().isNull());
}

TEST_F(HostileText, SixtyFourKibibytesAreCutOnlyWhereAControlNeedsIt) {
    ServerEntry e = hostileEntry("192.0.2.8:27015");
    e.hostName = huge('n');
    e.map = huge('m');
    e.comment = huge('c');
    e.rules[0].value = huge('v');
    e.playerList[0].name = huge('p');
    openWindow([&](Application& app) { app.lists().at(0).storeEntry(e); });
    // Chosen as the user would: the stored record, with the user's comment, becomes current.
    m_dialog->setServerText(QString::fromStdString(addressText(e.address)));

    EXPECT_EQ(control<QPlainTextEdit>(1012)->toPlainText(), shown(e.hostName));
    EXPECT_EQ(control<QPlainTextEdit>(1018)->toPlainText(), shown(e.comment));
    // A line edit holds at most its maximum length: the text is cut there, not dropped.
    const QString map = fieldText(1013);
    EXPECT_EQ(map.size(),
              std::min<qsizetype>(shown(e.map).size(), control<QLineEdit>(1013)->maxLength()));
    EXPECT_TRUE(shown(e.map).startsWith(map));
    EXPECT_EQ(playerView(*m_dialog)->itemText(0, 2), shown(e.playerList[0].name));
    EXPECT_EQ(rulesView(*m_dialog)->itemText(0, 3), shown(e.rules[0].value));
    EXPECT_TRUE(m_dialog->windowTitle().contains(QStringLiteral("<i>nnnn")));

    // The window keeps running its refresh cycle with these texts.
    ASSERT_TRUE(waitTicks(2));
    EXPECT_FALSE(m_dialog->grab().isNull());
    expectNothingInterpreted();
}

TEST_F(HostileText, RepliesAndConsoleOutputFromTheNetworkStayPlain) {
    FakeServer server;
    ASSERT_TRUE(server.start());
    InfoFields info;
    info.name = hostile("netname");
    info.map = hostile("netmap");
    info.description = hostile("netgame");
    server.answer("details", infoReply(info));
    server.answer("rules", rulesReply({{hostile("netrule"), hostile("netvalue")}}));
    server.answer("players", playersReply({{hostile("netplayer"), 3, 10.0f}}));
    server.answer("ping", textReply("j"));
    server.answer("challenge rcon", textReply("challenge rcon 1234\n"));
    openWindow();
    m_dialog->setServerText(server.address());

    ASSERT_TRUE(waitFor([&] {
        server.serve();
        const ServerEntry& w = m_dialog->workingCopy();
        return w.infoValid && !w.playerList.empty() && !w.rules.empty();
    })) << "the window never showed the fake server";
    m_dialog->refreshDisplay();
    expectLiteral(control<QPlainTextEdit>(1012)->toPlainText(), "netname", "host name");
    EXPECT_EQ(fieldText(1013), shown(info.map));
    EXPECT_EQ(playerView(*m_dialog)->itemText(0, 2), shown(hostile("netplayer")));
    EXPECT_EQ(rulesView(*m_dialog)->itemText(0, 3), shown(hostile("netvalue")));
    expectLiteral(m_dialog->windowTitle(), "netname", "title");

    // The remote console: printed text and log lines with markup, control characters, invalid
    // UTF-8, and 64 KiB in all.
    m_dialog->openRconConsole();
    RconConsole* console = topLevelWindow<RconConsole>();
    ASSERT_NE(console, nullptr);
    const int port = m_app->socket().localPort();
    server.sendTo(port, textReply("l" + hostile("print") + "\n"));
    server.sendTo(port, textReply("log L 12/08/2026 - 10:00:00: " + hostile("log") + "\n"));
    const std::string piece = "<p>" + std::string(1600, 'z') + "</p>";
    for (int i = 0; i < 42; ++i)
        server.sendTo(port, textReply("l" + piece + "\n"));
    auto* output = findControl<QPlainTextEdit>(console, RconConsole::kOutput);
    ASSERT_NE(output, nullptr);
    ASSERT_TRUE(waitFor([&] {
        server.serve();
        return output->toPlainText().count(QStringLiteral("</p>")) == 42;
    })) << "the console did not show every printed text";
    const QString text = output->toPlainText();
    expectLiteral(text, "print", "console");
    expectLiteral(text, "log", "console log line");
    EXPECT_GT(text.size(), 64 * 1024);
    EXPECT_FALSE(console->grab().isNull());
    expectNothingInterpreted();
}

TEST(HostileMasterMessage, TitleTextAndLinkArePlainAndTheLinkNeverOpensMarkup) {
    std::vector<QUrl> opened;
    CStaticEx::setUrlOpener([&](const QUrl& url) {
        opened.push_back(url);
        return true;
    });
    FakeUiPrompt prompt;
    MasterMessage m;
    m.number = 9;
    m.title = hostile("title");
    m.text = hostile("text") + "\r\n" + huge('t');
    m.link = "<a href=\"file:///etc/passwd\">https://ok.invalid/</a>" + kControl + kInvalid;
    {
        MessageDialog dialog(m);
        dialog.show();
        expectLiteral(dialog.windowTitle(), "title", "title");
        auto* text = findControl<QPlainTextEdit>(&dialog, MessageDialog::kTextId);
        ASSERT_NE(text, nullptr);
        expectLiteral(text->toPlainText(), "text", "text");
        EXPECT_TRUE(text->toPlainText().endsWith(shown(huge('t'))));
        CStaticEx* link = dialog.link();
        EXPECT_EQ(link->textFormat(), Qt::PlainText);
        EXPECT_EQ(link->text(), shown(m.link));
        link->setPrompt(&prompt);
        link->activate();
        EXPECT_TRUE(opened.empty()) << opened.front().toString().toStdString();
        ASSERT_EQ(prompt.messages.size(), 1u);
        EXPECT_NE(prompt.messages[0].text.find("<a href="), std::string::npos);
        expectNothingInterpreted();
        EXPECT_FALSE(dialog.grab().isNull());
    }
    CStaticEx::setUrlOpener(nullptr);
}
