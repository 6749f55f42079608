#pragma once

#include <QString>

#include <array>

// The ten user-editable caption texts of the main window (edt1..edt10): the record fields'
// labels, the type group and its five items, and the area unit. They travel with each project
// in the first line of the description file.
struct Captions
{
    static constexpr int Count = 10;
    enum Index {
        Tenant = 0,
        Area = 1,
        RoomName = 2,
        TypeGroup = 3,
        FirstType = 4, // items 0..4 are FirstType .. FirstType + 4
        Unit = 9,
    };

    static Captions defaults();

    QString &operator[](int i) { return texts[static_cast<size_t>(i)]; }
    const QString &operator[](int i) const { return texts[static_cast<size_t>(i)]; }
    bool operator==(const Captions &) const = default;

    std::array<QString, Count> texts;
};
