#pragma once

#include <QString>

#include <utility>

// "C6" -> {5, 2}: row and column counted from 0 as AreaSchedule and the writer count them.
std::pair<int, int> parseCellName(const QString &name);

int runAreaScheduleTests(int argc, char **argv);
int runXlsxWorkbookTests(int argc, char **argv);
int runPlacementPictureTests(int argc, char **argv);
