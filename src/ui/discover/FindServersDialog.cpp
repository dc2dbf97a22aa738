#include "FindServersDialog.h"

#include "common/Text.h"
#include "platform/QtHttpGetter.h"
#include "serverlist/ListCommands.h"
#include "serverlist/ListFiles.h"
#include "serverlist/ServerListSet.h"
#include "settings/SettingsKeys.h"
#include "ui/toolkit/ControlId.h"
#include "ui/toolkit/PlainText.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QFile>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QThread>
#include <QUrl>
#include <QVBoxLayout>

#include <cstdlib>

namespace ondel {

namespace {

// The list combo's last item: a new list named in the field beside it.
constexpr int kNewListItem = -1;

std::string utf8(const QString& text) {
    return text.toUtf8().toStdString();
}

} // namespace

FindServersDialog::FindServersDialog(SettingsStore& settings, ServerListSet& lists,
                                     std::string dataDirectory, Prompt& prompt, QWidget* parent)
    : QDialog(parent), m_settings(settings), m_lists(lists),
      m_dataDirectory(std::move(dataDirectory)), m_prompt(prompt) {
    setWindowTitle(QStringLiteral("Find Servers"));
    auto* form = new QFormLayout;

    m_game = new QComboBox(this);
    m_game->setEditable(true);
    m_game->addItem(QStringLiteral("(every Half-Life game)"), QString());
    for (const auto& game : kGameApps)
        m_game->addItem(
            QStringLiteral("%1 (%2)").arg(QLatin1String(game.gameDir), QLatin1String(game.title)),
            QLatin1String(game.gameDir));
    m_game->setCurrentIndex(1);
    m_game->setToolTip(QStringLiteral("A game of the list, or the folder of any other mod"));
    setControlId(m_game, kGameId);
    form->addRow(QStringLiteral("Game:"), m_game);

    m_map = new QLineEdit(this);
    m_map->setPlaceholderText(QStringLiteral("any map"));
    setControlId(m_map, kMapId);
    form->addRow(QStringLiteral("Map:"), m_map);

    m_notEmpty = new QCheckBox(QStringLiteral("Not empty"), this);
    setControlId(m_notEmpty, kNotEmptyId);
    m_notFull = new QCheckBox(QStringLiteral("Not full"), this);
    setControlId(m_notFull, kNotFullId);
    auto* boxes = new QHBoxLayout;
    boxes->addWidget(m_notEmpty);
    boxes->addWidget(m_notFull);
    boxes->addStretch();
    form->addRow(QString(), boxes);

    m_limit = new QSpinBox(this);
    m_limit->setRange(1, kDiscoverMaxLimit);
    m_limit->setValue(kDiscoverDefaultLimit);
    setControlId(m_limit, kLimitId);
    form->addRow(QStringLiteral("How many:"), m_limit);

    m_key = new QLineEdit(this);
    m_key->setEchoMode(QLineEdit::Password);
    m_key->setText(displayText(settings::read(m_settings, settings::kSteamApiKey)));
    if (qEnvironmentVariableIsSet("ONDEL_STEAM_API_KEY"))
        m_key->setPlaceholderText(QStringLiteral("ONDEL_STEAM_API_KEY is used"));
    setControlId(m_key, kKeyId);
    form->addRow(QStringLiteral("Steam Web API key:"), m_key);
    // Our own fixed link text; the link opens only when it is http or https.
    m_keyLink = new QLabel(this);
    m_keyLink->setTextFormat(Qt::RichText);
    m_keyLink->setText(QStringLiteral("<a href=\"%1\">Get your own key</a> (keep it private)")
                           .arg(QLatin1String(kSteamApiKeyPage)));
    m_keyLink->setOpenExternalLinks(false);
    m_keyLink->setWordWrap(true);
    connect(m_keyLink, &QLabel::linkActivated, this, [](const QString& link) { openLink(link); });
    setControlId(m_keyLink, kKeyLinkId);
    form->addRow(QString(), m_keyLink);

    m_list = new QComboBox(this);
    m_list->setAccessibleName(QStringLiteral("Into list"));
    setControlId(m_list, kListId);
    m_newList = new QLineEdit(this);
    m_newList->setAccessibleName(QStringLiteral("New list name"));
    m_newList->setToolTip(QStringLiteral("The file title of the new list (.sl06 is added)"));
    setControlId(m_newList, kNewListId);
    auto* listRow = new QHBoxLayout;
    listRow->addWidget(m_list, 1);
    listRow->addWidget(m_newList, 1);
    form->addRow(QStringLiteral("Into list:"), listRow);
    connect(m_list, &QComboBox::currentIndexChanged, this,
            [this] { m_newList->setEnabled(m_list->currentData().toInt() == kNewListItem); });
    fillLists();

    m_status = new QLabel(this);
    m_status->setWordWrap(true);
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    setPlainLabelText(m_status, QString());
    setControlId(m_status, kStatusId);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    m_find = buttons->addButton(QStringLiteral("Find"), QDialogButtonBox::ActionRole);
    m_find->setDefault(true);
    setControlId(m_find, kFindId);
    connect(m_find, &QPushButton::clicked, this, &FindServersDialog::onFind);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_status);
    layout->addWidget(buttons);
    setMinimumWidth(520);
}

FindServersDialog::~FindServersDialog() {
    m_cancel.store(true);
    if (m_worker) {
        m_worker->wait();
        delete m_worker;
    }
}

void FindServersDialog::fillLists() {
    m_list->clear();
    for (std::size_t i = 0; i < m_lists.size(); ++i)
        m_list->addItem(displayText(text::toDisplayUtf8(m_lists.at(i).name())),
                        static_cast<int>(i));
    m_list->addItem(QStringLiteral("New list:"), kNewListItem);
    m_list->setCurrentIndex(m_list->count() - 1);
    m_newList->setEnabled(true);
    // The first name that New takes: "found", "found 2", ...
    m_newList->setText(QFile::decodeName(QByteArray::fromStdString(
        firstFreeListTitle(m_lists, m_dataDirectory, kDefaultNewListTitle))));
}

std::string FindServersDialog::newListTitle() const {
    return QFile::encodeName(m_newList->text().trimmed()).toStdString();
}

bool FindServersDialog::openLink(const QString& link) {
    QUrl url(link);
    QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return false;
    return QDesktopServices::openUrl(url);
}

DiscoverFilter FindServersDialog::filter() const {
    DiscoverFilter f;
    // A game of the list gives its folder; text typed in is a folder itself.
    int index = m_game->findText(m_game->currentText());
    f.gameDir = index >= 0 ? utf8(m_game->itemData(index).toString())
                           : utf8(m_game->currentText().trimmed());
    f.map = utf8(m_map->text().trimmed());
    f.notEmpty = m_notEmpty->isChecked();
    f.notFull = m_notFull->isChecked();
    f.limit = m_limit->value();
    return f;
}

void FindServersDialog::showStatus(const QString& text, bool error) {
    m_status->setStyleSheet(error ? QStringLiteral("color: #b00000") : QString());
    setPlainLabelText(m_status, text);
}

void FindServersDialog::onFind() {
    if (m_worker)
        return;
    std::string typedKey = utf8(m_key->text().trimmed());
    if (typedKey != settings::read(m_settings, settings::kSteamApiKey))
        settings::write(m_settings, settings::kSteamApiKey, typedKey);
    std::string key = effectiveApiKey(std::getenv("ONDEL_STEAM_API_KEY"), typedKey);
    if (key.empty()) {
        showStatus(QStringLiteral("No Steam Web API key. Get your own key with the link above "
                                  "and paste it into the key field."),
                   true);
        return;
    }
    if (m_list->currentData().toInt() == kNewListItem) {
        // Before the Web API is asked: a search must not end in a list that cannot be made.
        if (m_newList->text().trimmed().isEmpty()) {
            showStatus(QStringLiteral("Name the new list."), true);
            return;
        }
        if (newListFileTaken(m_lists, m_dataDirectory, newListTitle())) {
            showStatus(displayText(text::format(
                           kFileExistsFormat,
                           text::toDisplayUtf8(newListFileName(newListTitle())).c_str())),
                       true);
            return;
        }
    }
    std::string base = effectiveApiBase(std::getenv("ONDEL_STEAM_API_URL"),
                                        settings::read(m_settings, settings::kSteamApiUrl));
    DiscoverFilter f = filter();
    auto result = std::make_shared<DiscoverResult>();
    m_result = result;
    m_cancel.store(false);
    const std::atomic<bool>* cancel = &m_cancel;
    // The destructor waits for the worker, so `this` outlives it; a queued status that arrives
    // after the dialog is gone is dropped with it.
    m_worker = QThread::create([this, result, cancel, base, key, f] {
        QtHttpGetter http(*cancel);
        DiscoverPacing pacing;
        pacing.wait = [cancel](std::uint32_t ms) {
            // In short steps, so that closing the dialog does not wait out the pause.
            for (std::uint32_t waited = 0; waited < ms && !cancel->load(); waited += 50)
                QThread::msleep(50);
        };
        pacing.progress = [this, cancel](std::size_t requests, std::size_t servers,
                                         std::size_t partsLeft) {
            // Only a split search (more than one request) has progress worth showing.
            if (requests > 1 || partsLeft > 0)
                QMetaObject::invokeMethod(
                    this,
                    [this, requests, servers] {
                        showStatus(QStringLiteral("Searching... %1 servers so far, %2 requests.")
                                       .arg(servers)
                                       .arg(requests),
                                   false);
                    },
                    Qt::QueuedConnection);
            return !cancel->load();
        };
        *result = discoverAllServers(http, base, key, f, pacing);
    });
    connect(m_worker, &QThread::finished, this, &FindServersDialog::onSearchDone);
    m_find->setEnabled(false);
    showStatus(QStringLiteral("Searching..."), false);
    m_worker->start();
}

void FindServersDialog::onSearchDone() {
    m_worker->wait();
    delete m_worker;
    m_worker = nullptr;
    m_find->setEnabled(true);
    DiscoverResult result = std::move(*m_result);
    m_result.reset();
    if (!result.ok()) {
        showStatus(displayText(result.message), true);
        return;
    }

    if (result.servers.empty()) {
        QString text = QStringLiteral("No server matched; no list was changed.");
        if (result.dropped)
            text +=
                QStringLiteral(" %1 left out (unusable or repeated address).").arg(result.dropped);
        showStatus(text, false);
        return;
    }

    std::size_t index = 0;
    int chosen = m_list->currentData().toInt();
    if (chosen == kNewListItem) {
        // The name was free when the search began; should it have been taken meanwhile, the
        // next free one holds what was found.
        std::string title = newListTitle();
        std::string name = utf8(m_newList->text().trimmed());
        if (newListFileTaken(m_lists, m_dataDirectory, title)) {
            title = firstFreeListTitle(m_lists, m_dataDirectory, title);
            name = utf8(QFile::decodeName(QByteArray::fromStdString(title)));
        }
        if (newList(m_lists, m_prompt, m_dataDirectory, title, name) != NewListResult::Added) {
            showStatus(QStringLiteral("%1 servers found, but the new list could not be made.")
                           .arg(result.servers.size()),
                       true);
            return;
        }
        index = m_lists.size() - 1;
    } else if (chosen >= 0 && static_cast<std::size_t>(chosen) < m_lists.size()) {
        index = static_cast<std::size_t>(chosen);
    }
    ServerList& list = m_lists.at(index);
    std::size_t added = addNewServers(list, result.servers);
    bool written = writeList(list, list.filePath());
    fillLists();
    m_list->setCurrentIndex(static_cast<int>(index));
    QString text = QStringLiteral("%1 servers found, %2 new added to \"%3\".")
                       .arg(result.servers.size())
                       .arg(added)
                       .arg(displayText(text::toDisplayUtf8(list.name())));
    if (result.dropped)
        text += QStringLiteral(" %1 left out (unusable or repeated address).").arg(result.dropped);
    if (result.requests > 1)
        text += QStringLiteral(" %1 requests to the Web API.").arg(result.requests);
    if (result.fullParts)
        text += QStringLiteral(" %1 parts of the search were still full: narrow it with a map.")
                    .arg(result.fullParts);
    if (!written)
        text += QStringLiteral(" The list file could not be written; the servers stay in the list "
                               "and it is written again later.");
    showStatus(text, !written);
    if (m_listFilled)
        m_listFilled(index);
}

} // namespace ondel
