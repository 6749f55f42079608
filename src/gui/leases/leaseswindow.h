#pragma once

#include "core/leases/lease.h"

#include <QDate>
#include <QWidget>

#include <functional>
#include <optional>

class LeaseBook;
class LeaseTableModel;
class ProjectSession;
class QLabel;
class QLineEdit;
class QPushButton;
class QSortFilterProxyModel;
class QTableView;

// "Договоры": the leases of a room, a tenant or the whole complex in a sortable table, with
// add, edit, end today, renew and remove. Every change is checked by the book first; after it
// the window offers to write the tenants of the leases in force today into the records' Инфо2
// (nothing there changes unasked).
class LeasesWindow : public QWidget
{
    Q_OBJECT

public:
    explicit LeasesWindow(ProjectSession &session, QWidget *parent = nullptr);

    // The rooms shown: the leases touching these keys; empty for the whole complex.
    void showRooms(const QList<quint32> &keys, const QString &title);
    void showTenant(const QString &tenant);
    void showAll();
    void refresh();
    void showBeside(const QWidget &anchor);

    // The lease the form returns for the given one (nullopt when cancelled). The real dialog by
    // default; tests put an answer here.
    using Editor = std::function<std::optional<Lease>(const Lease &initial, int replacing)>;
    void setEditor(Editor editor) { m_editor = std::move(editor); }

    // The lease index of the selected row; -1 when none.
    int selectedLease() const;
    void addLease();
    void editLease();
    void endLeaseToday();
    void renewLease();
    void removeLease();

    QLabel *ScopeLabel = nullptr;
    QLineEdit *Filter = nullptr;
    QTableView *Table = nullptr;
    QLabel *TotalLabel = nullptr;
    QLabel *RefusalLabel = nullptr;
    QPushButton *AddButton = nullptr;
    QPushButton *EditButton = nullptr;
    QPushButton *EndButton = nullptr;
    QPushButton *RenewButton = nullptr;
    QPushButton *RemoveButton = nullptr;
    QPushButton *AllButton = nullptr;

Q_SIGNALS:
    // The book or the records' tenants changed.
    void leasesEdited();

private:
    LeaseBook &book();
    QDate today() const;
    // Offers the tenants of the leases in force today for the records of these rooms.
    void offerTenants(const QList<quint32> &keys);
    void changed(const QList<quint32> &keys);
    void updateButtons();

    ProjectSession &m_session;
    LeaseTableModel *m_model = nullptr;
    QSortFilterProxyModel *m_proxy = nullptr;
    QList<quint32> m_keys;
    QString m_tenant;
    Editor m_editor;
    bool m_placed = false;
};
