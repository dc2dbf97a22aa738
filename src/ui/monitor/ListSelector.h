#pragma once

#include <QComboBox>

namespace ondel {

// The list selector (control 1009): a plain drop-down list that lets its owner refill the items
// just before the list opens (so added and renamed lists show up).
class ListSelector : public QComboBox {
    Q_OBJECT
public:
    explicit ListSelector(QWidget* parent = nullptr) : QComboBox(parent) {}

    void showPopup() override;

signals:
    void aboutToShowPopup();
};

} // namespace ondel
