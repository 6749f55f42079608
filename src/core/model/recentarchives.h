#pragma once

#include <QString>
#include <QStringList>

// The archives opened or saved lately, newest first, for the Недавние menu. A path is kept
// once, by its absolute form, so the same archive reached by two routes takes one line.
class RecentArchives
{
public:
    static constexpr int Capacity = 8;

    RecentArchives() = default;
    // Takes a stored list as it is read back: blanks and repeats dropped, the first 8 kept.
    explicit RecentArchives(const QStringList &paths);

    const QStringList &paths() const { return m_paths; }
    // Puts the archive first, dropping the oldest beyond the capacity.
    void add(const QString &path);
    // An archive that could not be opened leaves the list.
    void remove(const QString &path);

private:
    QStringList m_paths;
};
