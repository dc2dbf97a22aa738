#include "ListSelector.h"

namespace ondel {

void ListSelector::showPopup() {
    emit aboutToShowPopup();
    QComboBox::showPopup();
}

} // namespace ondel
