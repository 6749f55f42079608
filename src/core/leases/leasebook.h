#pragma once

#include "core/leases/lease.h"
#include "core/model/sidemember.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <vector>

class ProjectSession;
class RecordTable;

// The leases of a project, kept beside the description file as "metrola-leases.csv":
// Windows-1251 text, lines ending in CR LF, one line per lease and room, each field ended by
// ";" as in the description file:
//     №;ключ;план;арендатор;договор;начало;конец;ставка;примечание;
//     1;9502718;etazh1.bmp;ООО Ромашка;А-17;01.01.2025;31.12.2025;1200,5;;
//     1;9502717;etazh2.bmp;ООО Ромашка;А-17;01.01.2025;31.12.2025;1200,5;;
// The first line names the fields. Lines with the same number belong to one lease (its rooms
// may lie on several plans); dates are dd.MM.yyyy, an empty start is a start not known, an
// empty end an open-ended lease; the rate is roubles per m² per month with a decimal comma.
// A copy of the program that knows nothing of leases carries the member unchanged.
//
// A member that cannot be read as such (a date that is no date, an end before its start, a
// key that is no colour) is refused whole, naming its line: the project opens without leases,
// and the refused bytes are saved back unchanged so that nothing is lost until it is mended.
class LeaseBook : public SideMember
{
public:
    static QString fileName();
    // 50 000 leases over two rooms each come to about 6 MB; a member far beyond is not ours.
    static constexpr qint64 kFileSizeLimit = qint64(24) << 20;
    static constexpr int kLineLimit = 300000;

    const std::vector<Lease> &leases() const { return m_leases; }
    const Lease &lease(int index) const { return m_leases[size_t(index)]; }
    int count() const { return int(m_leases.size()); }
    bool isEmpty() const { return m_leases.empty(); }
    // Changes with every edit, so views built over the book know when to build again.
    quint64 generation() const { return m_generation; }

    bool isRefused() const { return !m_refusal.isEmpty(); }
    // Why the member was refused; empty when it was not.
    const QString &refusal() const { return m_refusal; }
    static LeaseBook refused(QByteArray member, QString reason);

    bool hasContent() const override { return isRefused() || !m_leases.empty(); }
    QByteArray build() const override;
    // Throws MetrolaError naming the line that cannot be read.
    static LeaseBook parse(QByteArrayView data);

    // Writes programDir + fileName() when it has content, or removes a file left there when
    // not; returns whether the file was written. Throws MetrolaError.
    bool write(const QString &programDir) const;
    // Reads programDir + fileName(); a member that cannot be read gives a refused book rather
    // than an error, except for one far larger than any lease file.
    static LeaseBook load(const QString &programDir);
    // The member's bytes read as load() reads the file: refused, never thrown, when they
    // cannot be read.
    static LeaseBook fromMember(QByteArray data);

    // Edits check the lease against the records and the other leases first and throw
    // MetrolaError with what is wrong, changing nothing: no tenant, no room, a room with no
    // record, an end before the start, two leases of one room in force on one day.
    int add(Lease lease, const RecordTable &table);
    void replace(int index, Lease lease, const RecordTable &table);
    void remove(int index);
    void check(const Lease &lease, const RecordTable &table, int replacing = -1) const;

    // A lease from the texts of a form; throws MetrolaError for a date that is no date or a
    // rate that is no number (an empty field is no date, no rate).
    static Lease fromTexts(const QList<LeaseRoom> &rooms, const QString &tenant, const QString &contract,
                           const QString &start, const QString &end, const QString &rate,
                           const QString &note);
    // "12,5" for a rate, empty for none.
    static QString rateText(const std::optional<double> &rate);

    // Pairs of leases of one room in force on a common day (a hand-made file may hold them;
    // edits never make them), each pair once with the room's key.
    struct Overlap
    {
        int first = 0;
        int second = 0;
        quint32 key = 0;
    };
    std::vector<Overlap> overlaps() const;

    // The session's leases: the book it holds, made empty when it holds none.
    static LeaseBook &of(ProjectSession &session);
    // nullptr when the session holds none.
    static const LeaseBook *in(const ProjectSession &session);

    friend bool operator==(const LeaseBook &a, const LeaseBook &b)
    {
        return a.m_leases == b.m_leases && a.m_refusal == b.m_refusal && a.m_refusedBytes == b.m_refusedBytes;
    }

private:
    std::vector<Lease> m_leases;
    QString m_refusal;
    QByteArray m_refusedBytes;
    quint64 m_generation = 0;
};
