#pragma once

#include <QByteArray>
#include <QDate>
#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>

// How many metres one pixel of a plan measures, and when the user said so.
struct PlanScale
{
    double metresPerPixel = 0;
    QDate date;

    friend bool operator==(const PlanScale &, const PlanScale &) = default;
};

// The scales of a project's plans and the tolerance of the area check, kept beside the
// description file as "metrola-scale.csv": Windows-1251 text, one line per plan, each field
// ended by ";" as in the description file,
//     plan id;metres per pixel;date;tolerance;
// e.g. "etazh1.bmp;0,0125;08.12.2026;10;". Numbers have a decimal comma, the date is
// dd.MM.yyyy, lines end in CR LF. The tolerance (percent) is one for the whole project and is
// repeated on every line so that each line stands on its own; the first readable one counts.
// The description file does not change, so a copy of the program that knows nothing of
// scales still opens the project.
class PlanScales
{
public:
    static constexpr double kDefaultTolerance = 10.0;
    // Percent; anything wider would flag nothing worth flagging.
    static constexpr double kMaxTolerance = 1000.0;
    // Metres per pixel. Below a micrometre the scale no longer survives the twelve decimals it
    // is written with; above 50 m a pixel is no floor plan, and the areas of a large plan would
    // leave the range that sums and percentages can hold.
    static constexpr double kMinScale = 1e-6;
    static constexpr double kMaxScale = 50.0;
    static bool isUsableScale(double metresPerPixel);

    static QString fileName();

    std::optional<PlanScale> scale(const QString &planId) const;
    // Throws MetrolaError for a scale outside kMinScale .. kMaxScale, saying so.
    void setScale(const QString &planId, const PlanScale &scale);
    void removeScale(const QString &planId);
    // Plan ids with a scale, sorted.
    QStringList planIds() const { return m_scales.keys(); }
    bool isEmpty() const { return m_scales.isEmpty(); }

    double tolerance() const { return m_tolerance; }
    // Throws MetrolaError outside 0 .. kMaxTolerance.
    void setTolerance(double percent);

    // The lines for the given plans that have a scale, in that order.
    QByteArray build(const QStringList &plans) const;
    // Lines that cannot be read (no plan id, not a bare file name, a scale that is not a
    // usable one, a second line for the same plan) are skipped; a missing or unreadable
    // date leaves the date empty, a missing or unreadable tolerance the default.
    static PlanScales parse(QByteArrayView data);

    // Writes programDir + fileName() for the given plans, or removes it when none of them
    // has a scale; returns whether the file was written. Throws MetrolaError.
    bool write(const QString &programDir, const QStringList &plans) const;
    // Reads programDir + fileName(); throws MetrolaError when it cannot be read or is far
    // larger than any scale file.
    // A mark of UTF-8 at its start is skipped; a line that is not Windows-1251 text refuses the
    // file, naming the line.
    static PlanScales load(const QString &programDir);
    // One line per plan; anything far larger is no file of ours.
    static constexpr qint64 kFileSizeLimit = qint64(1) << 20;

    friend bool operator==(const PlanScales &, const PlanScales &) = default;

private:
    QMap<QString, PlanScale> m_scales;
    double m_tolerance = kDefaultTolerance;
};
