#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>
#include <vector>

class RecordTable;

// What the description file cannot say about a room, kept beside it as "metrola-rooms.csv":
// Windows-1251 text, one line per flagged room, each field ended by ";" as in the description
// file,
//     colour key;flags;
// e.g. "9502718;МОП;". The flags are words joined by ","; "МОП" marks a place of common use
// (corridor, hall, stairs), which is no one's to let. Words this copy does not know are kept
// as read, so a newer copy's flags survive a save by an older one. Lines end in CR LF.
// One more line may give the order of the floors in the stacking plan:
//     этажи;plan id;plan id;...;
// Its first field is no colour key, so a copy that knows only flags skips it.
// A copy of the program that knows nothing of flags ignores the file and sees every room as
// usable, which is what the project was before.
class RoomFlags
{
public:
    static QString fileName();
    static QString commonWord();

    bool isCommon(quint32 key) const;
    // The cell of a record's colour key; a key that is no number is never common.
    bool isCommonKey(const QString &keyCell) const;
    void setCommon(quint32 key, bool common);
    bool hasCommon() const;
    // Keys with any flag, ascending.
    QList<quint32> keys() const { return m_flags.keys(); }
    bool isEmpty() const { return m_flags.isEmpty(); }

    // Whether the project says which rooms are common: its archive held the file, or the
    // user set or cleared a flag or answered the suggestion. Only an undecided project is
    // offered suggestions, and only a decided one writes the file (empty when nothing is
    // flagged), so that the question is asked once.
    bool isDecided() const { return m_decided; }
    void setDecided(bool decided) { m_decided = decided; }

    // The floors' order the user chose in the stacking plan; empty for the tab order.
    const QStringList &floorOrder() const { return m_floorOrder; }
    void setFloorOrder(QStringList planIds);
    // The plans of tabOrder, those of floorOrder() first in that order, then the rest.
    QStringList orderedFloors(const QStringList &tabOrder) const;
    static QString floorOrderWord();
    // Whether there is anything to write: a decision on common areas or an order of floors.
    bool hasContent() const { return m_decided || !m_floorOrder.isEmpty(); }

    // Flagged keys that no record of the table has: a room undone or removed since. Saving
    // drops them; the summary says so beforehand.
    QList<quint32> orphanKeys(const RecordTable &table) const;
    // Returns how many were dropped.
    int dropOrphans(const RecordTable &table);

    QByteArray build() const;
    // Lines without a key that is a room's colour (a number, neither the walls' black nor the
    // floor's white), without a flag, or repeating a key are skipped. The result is decided.
    static RoomFlags parse(QByteArrayView data);

    // Writes programDir + fileName() when it has content, or removes a file left there when not;
    // returns whether the file was written. Throws MetrolaError.
    bool write(const QString &programDir) const;
    // Reads programDir + fileName(); throws MetrolaError when it cannot be read, is far larger
    // than any flag file, or holds text that is not Windows-1251, naming the line.
    static RoomFlags load(const QString &programDir);
    // A line per room of a project of at most 24 plans; anything far larger is no file of ours.
    static constexpr qint64 kFileSizeLimit = qint64(4) << 20;

    friend bool operator==(const RoomFlags &, const RoomFlags &) = default;

private:
    QMap<quint32, QStringList> m_flags;
    QStringList m_floorOrder;
    bool m_decided = false;
    // What a newer copy wrote that this one does not read, kept as read for the next save:
    // the fields after a room's flags, by key, and whole lines (a second line of a key, a
    // line of another kind) with the key they begin with, if any, so that they go with the room.
    QMap<quint32, QStringList> m_tails;
    std::vector<std::pair<std::optional<quint32>, QByteArray>> m_keptLines;
};
