#pragma once

#include "master/MasterMessagePrompt.h"
#include "master/MasterRecord.h"

#include <QDialog>

class QCheckBox;
class QPlainTextEdit;

namespace ondel {

class CStaticEx;

// A message from the master server (150): a tool window titled with the message's title, the
// text read-only with a vertical scroll bar, the link as a CStaticEx in blue with the hand cursor
// (it opens only http and https addresses), "Don't show again" (initially clear) and OK. All
// server texts are shown as plain text. GUI thread only.
class MessageDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kTextId = 1053;
    static constexpr int kDontShowId = 1054;
    static constexpr int kLinkId = 1055;

    explicit MessageDialog(const MasterMessage& message, QWidget* parent = nullptr);

    // What the session records once the dialog has ended: "Don't show again" ticked and closed
    // with OK, or just closed (close box, Escape, or OK without the tick).
    MasterMessagePrompt::Outcome outcome() const;

    CStaticEx* link() const { return m_link; }

    // Shows the dialog modally over owner and returns its outcome; the message session's way of
    // showing a message on the GUI thread.
    static MasterMessagePrompt::Outcome showModal(const MasterMessage& message, QWidget* owner);

private:
    QPlainTextEdit* m_text;
    CStaticEx* m_link;
    QCheckBox* m_dontShow;
};

} // namespace ondel
