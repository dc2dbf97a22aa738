#include "EntryEditor.h"

#include "FormTable.h"
#include "ListSelector.h"
#include "MonitorText.h"
#include "ServerSelector.h"
#include "UpDownArrows.h"
#include "WindowServices.h"
#include "query/QueryEngine.h"
#include "serverlist/ListCommands.h"
#include "serverlist/ServerListOrder.h"
#include "serverlist/ServerListSet.h"
#include "ui/toolkit/UiPrompt.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>

#include <array>

namespace ondel {

namespace {

enum : int {
    kListSelectorId = 1009,
    kServerSelectorId = 1008,
    kArrowsId = 1043,
    kCommentId = 1018,
    kPasswordId = 1006,
    kHideId = 1010,
    kSaveId = 1011,
    kReservedSlotsId = 1022,
};

// Where the controls sit, in dialog units.
constexpr std::array kPlaces{
    FormPlace{kListSelectorId, 52, 8, 324, 13, Grow::Width},
    FormPlace{kServerSelectorId, 52, 24, 324, 13, Grow::Width},
    FormPlace{kArrowsId, 380, 24, 11, 13, Grow::MoveX},
    FormPlace{kCommentId, 52, 44, 232, 48, Grow::Width},
    FormPlace{kPasswordId, 300, 57, 84, 12, Grow::MoveX},
    FormPlace{kHideId, 302, 76, 38, 10, Grow::MoveX},
    FormPlace{kSaveId, 344, 76, 40, 10, Grow::MoveX},
    FormPlace{kReservedSlotsId, 52, 100, 40, 13},
};

// What the IP/Port field shows while it is empty.
constexpr const char* kServerHint = "e.g. 192.0.2.10:27015";

constexpr std::array kLabels{
    FormLabel{"Serverliste:", 8, 10, 43, 8, kListSelectorId},
    FormLabel{"IP/Port:", 8, 26, 43, 8, kServerSelectorId},
    FormLabel{"Comment:", 8, 46, 43, 8, kCommentId},
    FormLabel{"Reserved Slots:", 8, 99, 43, 17, kReservedSlotsId},
};

// Comments keep the CR LF line ends of the list files; the edit works with LF.
QString commentForEdit(const std::string& stored) {
    QString text = fromBytes(stored);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

std::string commentForStore(const QString& edited) {
    QString text = edited;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return text.toStdString();
}

} // namespace

EntryEditor::EntryEditor(WindowServices& services, UiPrompt& prompt, ServerEntry& work,
                         QWidget* form, const DialogUnits& du)
    : QObject(form), m_services(services), m_prompt(prompt), m_work(work) {
    build(form, du);
}

void EntryEditor::build(QWidget* form, const DialogUnits& du) {
    // The frame first, so that the controls inside are drawn over it.
    placeGroup(form, "Password", {0, 292, 44, 100, 48, Grow::MoveX}, du);

    m_listSelector = new ListSelector(form);
    placeControl(m_listSelector, kListSelectorId, kPlaces, du);
    m_serverSelector = new ServerSelector(form);
    placeControl(m_serverSelector, kServerSelectorId, kPlaces, du);
    m_serverSelector->lineEdit()->setPlaceholderText(QString::fromLatin1(kServerHint));
    m_arrows = new UpDownArrows(form);
    placeControl(m_arrows, kArrowsId, kPlaces, du);

    m_comment = new QPlainTextEdit(form);
    m_comment->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_comment->setTabChangesFocus(true);
    placeControl(m_comment, kCommentId, kPlaces, du);

    m_password = new QLineEdit(form);
    placeControl(m_password, kPasswordId, kPlaces, du);
    m_hide = new QCheckBox(QStringLiteral("Hide"), form);
    placeControl(m_hide, kHideId, kPlaces, du);
    m_save = new QCheckBox(QStringLiteral("Save"), form);
    placeControl(m_save, kSaveId, kPlaces, du);

    m_reservedSlots = new QComboBox(form);
    m_reservedSlots->addItem(QStringLiteral("Auto"));
    for (int i = 0; i <= 20; ++i)
        m_reservedSlots->addItem(QString::number(i));
    m_reservedSlots->setMaxVisibleItems(12);
    placeControl(m_reservedSlots, kReservedSlotsId, kPlaces, du);

    placeLabels(form, kLabels, du);

    connect(m_serverSelector, &QComboBox::editTextChanged, this, &EntryEditor::selectServer);
    connect(m_serverSelector, &QComboBox::activated, this, &EntryEditor::onServerItemChosen);
    connect(m_serverSelector, &ServerSelector::aboutToShowPopup, this, &EntryEditor::fillSelector);
    connect(m_serverSelector, &ServerSelector::deleteRequested, this, &EntryEditor::deleteEntry);
    connect(m_arrows, &UpDownArrows::stepped, this, &EntryEditor::onArrowStep);
    connect(m_password, &QLineEdit::textEdited, this, &EntryEditor::onPasswordEdited);
    connect(m_save, &QCheckBox::clicked, this, &EntryEditor::onPasswordEdited);
    connect(m_hide, &QCheckBox::clicked, this, &EntryEditor::onHideClicked);
    connect(m_comment, &QPlainTextEdit::textChanged, this, &EntryEditor::onCommentEdited);
    connect(m_reservedSlots, &QComboBox::activated, this, &EntryEditor::onReservedSlotsChosen);
    connect(m_listSelector, &QComboBox::activated, this, [this](int index) {
        if (index >= 0)
            selectList();
    });
    connect(m_listSelector, &ListSelector::aboutToShowPopup, this, &EntryEditor::fillListSelector);
}

template <typename Edit> void EntryEditor::editCurrent(Edit edit) {
    // Start from the engine's record, so that replies that came in since the last tick are not
    // overwritten with the older copy.
    m_work = m_services.engine.currentServer();
    edit(m_work);
    m_services.engine.setCurrentServer(m_work);
}

void EntryEditor::setServerText(const QString& text) {
    // Setting the text reports a change only when it differs; typing always selects.
    if (m_serverSelector->currentText() == text)
        selectServer();
    else
        m_serverSelector->setEditText(text);
}

void EntryEditor::onServerItemChosen(int index) {
    if (index < 0)
        return;
    m_serverSelector->setEditTextQuietly(m_serverSelector->itemText(index));
    selectServer();
}

void EntryEditor::onArrowStep(int step) {
    const int index = m_serverSelector->currentIndex() + step;
    if (index >= 0 && index < m_serverSelector->count()) {
        const bool blocked = m_serverSelector->blockSignals(true);
        m_serverSelector->setCurrentIndex(index);
        m_serverSelector->blockSignals(blocked);
        m_serverSelector->setEditTextQuietly(m_serverSelector->itemText(index));
    }
    selectServer();
}

void EntryEditor::selectServer() {
    emit aboutToSelectServer();
    const std::string text = typed(m_serverSelector->currentText());
    resetEntry(m_work);
    m_work.address = parseAddress(text);
    const ServerList& list = m_services.lists.current();
    const int found = list.find(m_work.address);
    if (found >= 0)
        m_work = list.entries()[static_cast<std::size_t>(found)];
    m_services.engine.setCurrentServer(m_work);
    showEditFields();
    emit serverChanged();
}

void EntryEditor::showNone() {
    ServerEntry none;
    m_services.engine.setCurrentServer(none);
    m_serverSelector->setEditTextQuietly(QString());
    m_work = none;
    showEditFields();
    emit serverChanged();
}

void EntryEditor::showEditFields() {
    m_showingFields = true;
    m_password->setText(fromBytes(m_work.password));
    m_hide->setChecked(m_work.hidePassword);
    m_save->setChecked(m_work.savePassword);
    const QString comment = commentForEdit(m_work.comment);
    if (m_comment->toPlainText() != comment)
        m_comment->setPlainText(comment);
    int slotsIndex = m_work.reservedSlots + 1;
    if (slotsIndex < 0 || slotsIndex >= m_reservedSlots->count())
        slotsIndex = 0;
    m_reservedSlots->setCurrentIndex(slotsIndex);
    applyPasswordEcho();
    m_showingFields = false;
}

void EntryEditor::applyPasswordEcho() {
    const bool hidden = m_work.hidePassword;
    if (m_echoHidden && *m_echoHidden == hidden)
        return;
    m_password->setEchoMode(hidden ? QLineEdit::Password : QLineEdit::Normal);
    m_echoHidden = hidden;
}

void EntryEditor::onPasswordEdited() {
    if (m_showingFields)
        return;
    const std::string password = typed(m_password->text());
    const bool save = m_save->isChecked();
    editCurrent([&](ServerEntry& e) {
        e.password = password;
        e.savePassword = save;
    });
}

void EntryEditor::onHideClicked() {
    if (m_showingFields)
        return;
    if (!m_hide->isChecked())
        m_password->clear();
    const bool hide = m_hide->isChecked();
    const std::string password = typed(m_password->text());
    editCurrent([&](ServerEntry& e) {
        e.hidePassword = hide;
        e.password = password;
    });
    applyPasswordEcho();
}

void EntryEditor::onCommentEdited() {
    if (m_showingFields)
        return;
    const std::string comment = commentForStore(m_comment->toPlainText());
    editCurrent([&](ServerEntry& e) { e.comment = comment; });
}

void EntryEditor::onReservedSlotsChosen(int index) {
    if (m_showingFields || index < 0)
        return;
    editCurrent([&](ServerEntry& e) { e.reservedSlots = index - 1; });
}

void EntryEditor::fillSelector() {
    const ServerList& list = m_services.lists.current();
    const SelectorOrder order = selectorOrder(list, m_services.settings);
    std::vector<const ServerEntry*> entries;
    entries.reserve(order.items.size());
    for (std::size_t i : order.items)
        entries.push_back(&list.entries()[i]);
    m_serverSelector->setEntries(entries, order.recentEnd);
}

void EntryEditor::fillListSelector() {
    const ServerListSet& lists = m_services.lists;
    const bool blocked = m_listSelector->blockSignals(true);
    m_listSelector->clear();
    for (std::size_t i = 0; i < lists.size(); ++i) {
        const ServerList& l = lists.at(i);
        m_listSelector->addItem(
            fromBytes(l.name() + " (" + listFileShown(l, m_services.dataDirectory) + ")"));
    }
    m_listSelector->setCurrentIndex(static_cast<int>(lists.currentIndex()));
    m_listSelector->blockSignals(blocked);
}

void EntryEditor::chooseList(int index) {
    fillListSelector();
    m_listSelector->setCurrentIndex(index);
    selectList();
}

void EntryEditor::selectList() {
    ServerListSet& lists = m_services.lists;
    const int index = m_listSelector->currentIndex();
    // An item whose list is gone is never taken as the current list.
    if (index < 0 || static_cast<std::size_t>(index) >= lists.size()) {
        fillListSelector();
        return;
    }
    emit aboutToSelectServer();
    lists.setCurrentIndex(static_cast<std::size_t>(index));
    fillSelector();
    showNone();
}

bool EntryEditor::askAndDelete(int index) {
    const std::optional<ServerAddress> address = m_serverSelector->addressAt(index);
    if (!address)
        return false;
    const QString addressShown =
        m_serverSelector->itemData(index, ServerSelector::AddressTextRole).toString();
    const QString nameShown =
        m_serverSelector->itemData(index, ServerSelector::HostNameRole).toString();
    const std::string question =
        (QStringLiteral("Delete ") + addressShown + QLatin1Char(' ') + nameShown + QLatin1Char('?'))
            .toStdString();
    if (m_prompt.message("Delete", question, Prompt::Buttons::OkCancel, Prompt::Icon::Question) !=
        Prompt::Answer::Ok)
        return false;
    if (isSameServer(parseAddress(typed(m_serverSelector->currentText())), *address))
        showNone();
    ServerList& list = m_services.lists.current();
    const int found = list.find(*address);
    if (found >= 0)
        list.removeAt(static_cast<std::size_t>(found));
    fillSelector();
    return true;
}

void EntryEditor::deleteEntry(int index, int topRow) {
    if (!m_serverSelector->addressAt(index))
        return;
    m_serverSelector->hidePopup();
    askAndDelete(index);
    // The list opens again where it was (showPopup refills it from the list).
    m_serverSelector->showPopup();
    QAbstractItemView* view = m_serverSelector->view();
    const int rows = m_serverSelector->count();
    if (rows > 0) {
        const int top = std::min(topRow, rows - 1);
        view->scrollTo(view->model()->index(top, 0), QAbstractItemView::PositionAtTop);
    }
}

int EntryEditor::shownItem() const {
    const ServerAddress shown = m_services.engine.currentServer().address;
    if (shown.empty())
        return -1;
    for (int i = 0; i < m_serverSelector->count(); ++i) {
        const std::optional<ServerAddress> item = m_serverSelector->addressAt(i);
        if (item && isSameServer(*item, shown))
            return i;
    }
    return -1;
}

bool EntryEditor::chooseServer(const ServerAddress& address) {
    fillSelector();
    for (int i = 0; i < m_serverSelector->count(); ++i) {
        const std::optional<ServerAddress> item = m_serverSelector->addressAt(i);
        if (item && isSameServer(*item, address)) {
            const bool blocked = m_serverSelector->blockSignals(true);
            m_serverSelector->setCurrentIndex(i);
            m_serverSelector->blockSignals(blocked);
            onServerItemChosen(i);
            return true;
        }
    }
    return false;
}

bool EntryEditor::canAddShown() const {
    const ServerAddress& shown = m_services.engine.currentServer().address;
    return !shown.empty() && m_services.lists.current().find(shown) < 0;
}

bool EntryEditor::canDeleteShown() const {
    const ServerAddress& shown = m_services.engine.currentServer().address;
    return !shown.empty() && m_services.lists.current().find(shown) >= 0;
}

void EntryEditor::addShownServer() {
    if (!canAddShown())
        return;
    m_services.lists.current().storeEntry(m_services.engine.currentServer());
    fillSelector();
}

void EntryEditor::deleteShownServer() {
    // Replies may have put the server into the list since the items were filled.
    fillSelector();
    const int index = shownItem();
    if (index >= 0)
        askAndDelete(index);
}

} // namespace ondel
