// Floor plans with the traits of real ones, drawn by code so that every test and benchmark
// knows where each room is. None of them is a copy of a real plan.
#pragma once

#include <QImage>
#include <QPoint>
#include <QString>

#include <vector>

struct SyntheticTraits
{
    QString name;
    bool antiAliased = true;   // lines and walls rendered smooth, as by a drawing program
    int jpegQuality = 0;       // 0: no JPEG round trip; else the estate agent's compression
    bool greyWalls = false;    // a rendered plan: walls filled grey, no outline
    bool tintedFloors = false; // pastel floors per room
    bool furniture = true;     // beds, tables, fixtures in thin lines
    bool texts = true;         // room names and areas inside rooms, a title outside
    bool doorLeaves = true;    // a door leaf and its arc at every door
    bool penMarks = false;     // coloured ballpoint marks across rooms
    bool unevenPaper = false;  // a scan or photo: the paper darkens towards one corner
    double rotation = 0;       // degrees, as a sheet laid crookedly on a scanner
    // A corner flat: both right-hand corners cut off by slanting outer walls, each with a
    // window drawn as two faint thin lines (the faces of the wall) across a gap in it.
    bool slantedWalls = false;
};

struct SyntheticPlan
{
    QImage image;               // Format_RGB32, what the user opens
    QImage truth;               // Format_RGB32: room i's floor has the value i + 1, the rest 0
    std::vector<QPoint> clicks; // a point on free floor of each room, where a user clicks
    int rooms = 0;
    double pixelsPerMetre = 0;
};

// The flat of eight rooms (hall, three rooms above it, four below, one of them a kitchen
// reached through an open passage), drawn on a sheet of the given size.
SyntheticPlan makeSyntheticPlan(const SyntheticTraits &traits, QSize sheet);

// The sets of traits the measurements run over, each named after the real plans it imitates.
std::vector<SyntheticTraits> syntheticTraitSets();

// How a fill from one point on `plan` matches room `room` of the truth: a fill is clean when
// it covers at least 85 % of the room (holes it encloses counted as covered) and at most 10 %
// of its pixels lie outside the room.
struct FillMatch
{
    double covered = 0; // share of the room
    double spilled = 0; // share of the fill outside the room
    bool clean() const { return covered >= 0.85 && spilled <= 0.10; }
};
FillMatch matchFill(const QImage &plan, QPoint point, const QImage &truth, int room);
