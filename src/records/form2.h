#pragma once

#include "model/captions.h"

#include <QDialog>

// The record entry and edit dialog: modeless, always on top, without a close button.
class Form2 : public QDialog
{
    Q_OBJECT

public:
    explicit Form2(QWidget *parent = nullptr);

    // The field labels, the type group and its items follow the main window's captions;
    // replacing the items leaves no type selected.
    void setCaptions(const Captions &captions);
};
