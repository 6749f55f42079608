#pragma once

#include <QImage>
#include <QString>

class RecordTable;

// The placement picture: a plan with its rooms' labels (tenant, area, name, type code)
// written at each record's label point, for printing or passing on as a bitmap.
class PlacementPicture
{
public:
    struct Options
    {
        bool tenant = true;
        bool area = false;
        bool name = false;
        bool type = false;
        QString unit; // appended to the area as it stands, e.g. "м."
    };

    // Draws the labels of the records of planId on a copy of plan; the caller's image is
    // never touched. Throws MetrolaError when such a record's label point is not an integer.
    static QImage render(const QImage &plan, const RecordTable &table, const QString &planId,
                         const Options &options);

    // Writes the picture as a 24-bit BMP "metrola.bmp" in programDir and returns its path.
    static QString save(const QImage &picture, const QString &programDir);
};
