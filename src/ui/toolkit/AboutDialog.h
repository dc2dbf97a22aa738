#pragma once

#include <QDialog>

class QPlainTextEdit;
class QPushButton;

namespace ondel {

class CStaticEx;
class Prompt;

// The About box (dialog 132): name, version, credits and notices in a scrolling read-only text,
// and a link to the homepage (a build setting). Created anew for every showing; modal.
class AboutDialog : public QDialog {
    Q_OBJECT
public:
    // prompt: where a link that cannot be opened is reported (not owned; may be null).
    explicit AboutDialog(QWidget* parent = nullptr, Prompt* prompt = nullptr);

    // The information text with LF line ends; the first line is two tabs, "Ondel", the version
    // and the full name in parentheses.
    static QString informationText();
    // The homepage address and the host name the link shows.
    static QString homepage();
    static QString homepageHost();

    CStaticEx* link() const { return m_link; }
    QPlainTextEdit* textField() const { return m_text; }

private:
    CStaticEx* m_link;
    QPlainTextEdit* m_text;
    QPushButton* m_close;
};

} // namespace ondel
