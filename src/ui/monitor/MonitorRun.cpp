#include "MonitorRun.h"

#include "MonitorDialog.h"
#include "app/Application.h"

#include <QEventLoop>
#include <QTimer>

namespace ondel {

void runMonitorWindow(Application& app, UiPrompt& prompt, const QString& serverText,
                      const std::function<void(MonitorDialog&)>& onShown) {
    {
        MonitorDialog dialog(app, prompt);
        if (!serverText.isEmpty())
            dialog.setServerText(serverText);
        // Not modal: a modal main window would block every other top-level window (the remote
        // console above all) from the keyboard and the mouse. Esc, the close box and "&Exit" end
        // the dialog, and with it this loop.
        QEventLoop loop;
        QObject::connect(&dialog, &QDialog::finished, &loop, &QEventLoop::quit);
        dialog.show();
        if (onShown)
            QTimer::singleShot(0, &dialog, [&dialog, &onShown] { onShown(dialog); });
        loop.exec();
    }
    app.finish();
}

} // namespace ondel
