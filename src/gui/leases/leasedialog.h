#pragma once

#include "core/leases/lease.h"

#include <QDialog>

class LeaseBook;
class QLineEdit;
class QListWidget;
class RecordTable;

// One lease's fields, with the rooms of the complex to tick (a tenant's several rooms on several
// plans in one lease). OK checks the lease against the book and the records before closing:
// a wrong date, rate, room or an overlap is said in a message and the dialog stays open.
class LeaseDialog : public QDialog
{
    Q_OBJECT

public:
    // `replacing` is the index of the lease being edited, -1 for a new one.
    LeaseDialog(const RecordTable &table, const LeaseBook &book, const Lease &initial, int replacing,
                QWidget *parent = nullptr);

    const Lease &lease() const { return m_lease; }
    // Reads the fields into a lease and checks it; false (after saying why) when it is refused.
    bool take();

    QLineEdit *TenantEdit = nullptr;
    QLineEdit *ContractEdit = nullptr;
    QLineEdit *StartEdit = nullptr;
    QLineEdit *EndEdit = nullptr;
    QLineEdit *RateEdit = nullptr;
    QLineEdit *NoteEdit = nullptr;
    QLineEdit *RoomFilter = nullptr;
    QListWidget *RoomList = nullptr;

private:
    const RecordTable &m_table;
    const LeaseBook &m_book;
    int m_replacing;
    Lease m_lease;
};
