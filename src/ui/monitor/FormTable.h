#pragma once

#include "StretchForm.h"
#include "ui/toolkit/DialogUnits.h"

#include <QWidget>

#include <span>

namespace ondel {

// One control of a window form: its control id, its rectangle in dialog units, and how it
// follows a form that grows (in a StretchForm).
struct FormPlace {
    int id;
    int x;
    int y;
    int width;
    int height;
    Grow grow = Grow::None;
};

// A static text of a window form, its rectangle in dialog units, and the id of the control it
// names (0: none); a label two lines high wraps its words.
struct FormLabel {
    const char* text;
    int x;
    int y;
    int width;
    int height;
    int buddy = 0;
};

// Places widget at the rectangle the table gives for its id (the id must be in the table) and
// gives it that id; in a StretchForm it follows the form as the table says.
void placeControl(QWidget* widget, int id, std::span<const FormPlace> table, const DialogUnits& du);

// A group frame at the dialog-unit rectangle, following a StretchForm as grow says.
QWidget* placeGroup(QWidget* form, const char* title, FormPlace place, const DialogUnits& du);

// Makes one plain-text label in parent per row of the table. A label that names a control is its
// buddy, and its text without the colon becomes the control's accessible name (what a screen
// reader says for the field); the controls must exist already.
void placeLabels(QWidget* parent, std::span<const FormLabel> table, const DialogUnits& du);

} // namespace ondel
