#include "CStaticEx.h"

#include "UiPrompt.h"
#include "monitor/WindowTitle.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMouseEvent>
#include <QPalette>

namespace ondel {

namespace {

bool openInBrowser(const QUrl& url) {
    return QDesktopServices::openUrl(url);
}

CStaticEx::UrlOpener& urlOpener() {
    static CStaticEx::UrlOpener opener = &openInBrowser;
    return opener;
}

} // namespace

CStaticEx::CStaticEx(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
    setOpenExternalLinks(false);
    setTextInteractionFlags(Qt::NoTextInteraction);
    m_backgroundColour = palette().color(QPalette::Button);
    m_textColour = palette().color(QPalette::WindowText);
    setAutoFillBackground(true);
    applyColours();
}

QColor CStaticEx::setTextColour(const QColor& colour) {
    QColor previous = m_textColour;
    m_textColour = colour;
    applyColours();
    return previous;
}

QColor CStaticEx::currentTextColour() const {
    if (!m_target.isEmpty() && m_visited)
        return QColor(kVisitedColour);
    return m_textColour;
}

void CStaticEx::setLinkFont(int pixelHeight, const QString& face) {
    QFont f(face);
    f.setPixelSize(pixelHeight);
    f.setWeight(QFont::Normal);
    f.setItalic(false);
    f.setUnderline(false);
    setFont(f);
    update();
}

void CStaticEx::setHandCursor(bool on) {
    m_handCursor = on;
    if (on)
        setCursor(Qt::PointingHandCursor);
    else
        setCursor(Qt::ArrowCursor);
}

void CStaticEx::setUrlOpener(UrlOpener opener) {
    urlOpener() = opener ? std::move(opener) : UrlOpener(&openInBrowser);
}

void CStaticEx::applyColours() {
    QPalette p = palette();
    p.setColor(QPalette::Window, m_backgroundColour);
    p.setColor(QPalette::WindowText, currentTextColour());
    setPalette(p);
    update();
}

void CStaticEx::activate() {
    if (m_target.isEmpty())
        return;
    QUrl url(m_target, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    bool ok = url.isValid() &&
              (scheme == QLatin1String("http") || scheme == QLatin1String("https")) &&
              !url.host().isEmpty() && urlOpener()(url);
    if (!ok) {
        QApplication::beep();
        std::string text = "Unable to open " + m_target.toStdString() + ".";
        if (m_prompt != nullptr) {
            m_prompt->message(kProgramName, text, Prompt::Buttons::Ok, Prompt::Icon::Information);
        } else {
            UiPrompt prompt(window());
            prompt.message(kProgramName, text, Prompt::Buttons::Ok, Prompt::Icon::Information);
        }
        return;
    }
    m_visited = true;
    applyColours();
    emit opened();
}

void CStaticEx::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        activate();
}

} // namespace ondel
