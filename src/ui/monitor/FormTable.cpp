#include "FormTable.h"

#include "ui/toolkit/ControlId.h"
#include "ui/toolkit/PlainText.h"

#include <QGroupBox>
#include <QLabel>

#include <algorithm>
#include <cassert>

namespace ondel {

void placeControl(QWidget* widget, int id, std::span<const FormPlace> table,
                  const DialogUnits& du) {
    const auto it =
        std::find_if(table.begin(), table.end(), [id](const FormPlace& p) { return p.id == id; });
    assert(it != table.end());
    if (it == table.end())
        return;
    setControlId(widget, id);
    du.place(widget, it->x, it->y, it->width, it->height);
    if (auto* form = qobject_cast<StretchForm*>(widget->parentWidget()))
        form->follow(widget, it->grow);
}

QWidget* placeGroup(QWidget* form, const char* title, FormPlace place, const DialogUnits& du) {
    auto* group = new QGroupBox(QString::fromLatin1(title), form);
    du.place(group, place.x, place.y, place.width, place.height);
    if (auto* stretch = qobject_cast<StretchForm*>(form))
        stretch->follow(group, place.grow);
    return group;
}

void placeLabels(QWidget* parent, std::span<const FormLabel> table, const DialogUnits& du) {
    for (const FormLabel& row : table) {
        auto* label = new QLabel(parent);
        setPlainLabelText(label, QString::fromLatin1(row.text));
        du.place(label, row.x, row.y, row.width, row.height);
        if (row.height >= 16)
            label->setWordWrap(true);
        if (row.buddy == 0)
            continue;
        if (auto* control = findControl<QWidget>(parent, row.buddy)) {
            label->setBuddy(control);
            QString name = label->text();
            if (name.endsWith(QLatin1Char(':')))
                name.chop(1);
            control->setAccessibleName(name);
        }
    }
}

} // namespace ondel
