#include "MonitorRun.h"

#include "MonitorDialog.h"
#include "app/Application.h"

#include <QTimer>

namespace ondel {

void runMonitorWindow(Application& app, UiPrompt& prompt, const QString& serverText,
                      const std::function<void(MonitorDialog&)>& onShown) {
    {
        MonitorDialog dialog(app, prompt);
        if (!serverText.isEmpty())
            dialog.setServerText(serverText);
        if (onShown)
            QTimer::singleShot(0, &dialog, [&dialog, &onShown] { onShown(dialog); });
        dialog.exec();
    }
    app.finish();
}

} // namespace ondel
