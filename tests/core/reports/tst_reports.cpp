#include "reportstest.h"

#include <QGuiApplication>

std::pair<int, int> parseCellName(const QString &name)
{
    int column = 0;
    qsizetype i = 0;
    for (; i < name.size() && name[i].isLetter(); ++i)
        column = column * 26 + (name[i].unicode() - u'A' + 1);
    return {name.mid(i).toInt() - 1, column - 1};
}

// One executable for the folder; the picture tests need a GUI application for fonts.
int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    int failures = 0;
    failures += runAreaScheduleTests(argc, argv);
    failures += runXlsxWorkbookTests(argc, argv);
    failures += runPlacementPictureTests(argc, argv);
    return failures;
}
