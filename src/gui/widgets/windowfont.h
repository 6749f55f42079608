#pragma once

#include <QFont>
#include <QStringList>

// The windows were laid out for "MS Sans Serif". Where it is missing, Liberation Sans (the
// metrics of Arial) keeps the captions inside their boxes; a wider default font would cut them.
inline QFont windowFont(int pixelSize)
{
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("Arial")});
    font.setPixelSize(pixelSize);
    return font;
}
