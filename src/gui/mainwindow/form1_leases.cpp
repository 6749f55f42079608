#include "gui/mainwindow/form1.h"

#include "core/model/recordtable.h"
#include "core/model/recoverywriter.h"
#include "gui/leases/leaseswindow.h"

using namespace Qt::StringLiterals;

// The "Договоры" window is made on first use and kept; it reads the session, which goes with
// this window (~Form1 deletes it).
void Form1::showLeases()
{
    guard([&] {
        if (!Leases) {
            Leases = new LeasesWindow(m_session);
            connect(Leases, &LeasesWindow::leasesEdited, this, &Form1::leasesEdited);
            connect(this, &Form1::leasesChanged, Leases, &LeasesWindow::refresh);
        }
        Leases->showAll();
        Leases->showBeside(*this);
    });
}

void Form1::showLeasesOf(const QList<int> &rows)
{
    guard([&] {
        showLeases();
        QList<quint32> keys;
        QStringList names;
        for (int row : rows) {
            if (row < 1 || row > m_session.table().recordCount())
                continue;
            const auto key = parseCellNumber(m_session.table().cellText(RecordTable::ColourKey, row));
            if (!key)
                continue;
            keys << quint32(*key);
            names << u"«%1» (%2)"_s.arg(m_session.table().cellText(RecordTable::Name, row),
                                        m_session.table().cellText(RecordTable::PlanId, row));
        }
        if (!keys.isEmpty())
            Leases->showRooms(keys, u"Помещение %1"_s.arg(names.join(u", "_s)));
    });
}

void Form1::showLeasesOfRow(int row)
{
    showLeasesOf({row});
}

void Form1::leasesEdited()
{
    m_session.setModified(true);
    // Leases are unsaved work as much as the records are.
    m_recovery->changed();
    Q_EMIT leasesChanged();
}
