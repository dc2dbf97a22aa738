#pragma once

#include <QColor>
#include <QLabel>
#include <QUrl>

#include <functional>

namespace ondel {

class Prompt;

// A static text that can act as a hyperlink: own text, visited and background colours, an
// optional hand cursor, and with a target set, a click opens the target in the desktop's
// browser and turns the text to the visited colour. Only http and https addresses are opened
// (the targets may come from a server). The text is always plain. GUI thread only.
class CStaticEx : public QLabel {
    Q_OBJECT
public:
    static constexpr QRgb kVisitedColour = qRgb(0, 128, 192);

    explicit CStaticEx(QWidget* parent = nullptr);

    void setTarget(const QString& target) { m_target = target; }
    const QString& target() const { return m_target; }

    // Sets the unvisited text colour and returns the previous one.
    QColor setTextColour(const QColor& colour);
    QColor textColour() const { return m_textColour; }
    QColor backgroundColour() const { return m_backgroundColour; }
    // The colour the text is drawn in now: visited or not.
    QColor currentTextColour() const;

    // Replaces the font: the given pixel height and face, normal weight, upright, no underline.
    void setLinkFont(int pixelHeight, const QString& face);

    void setHandCursor(bool on);
    bool handCursor() const { return m_handCursor; }
    bool isVisited() const { return m_visited; }

    // Where "Unable to open ..." is reported; without one a message box is shown.
    // Not owned; must outlive the control.
    void setPrompt(Prompt* prompt) { m_prompt = prompt; }

    // Opens an address in the desktop's browser; returns whether it worked. Tests replace it.
    using UrlOpener = std::function<bool(const QUrl&)>;
    static void setUrlOpener(UrlOpener opener);

    // What a click does (public so that keyboard users and tests reach it too).
    void activate();

signals:
    // After a target was opened successfully.
    void opened();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void applyColours();

    bool m_handCursor = false;
    bool m_visited = false;
    QString m_target;
    QColor m_backgroundColour;
    QColor m_textColour;
    Prompt* m_prompt = nullptr;
};

} // namespace ondel
