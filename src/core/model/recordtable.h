#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QString>

#include <array>
#include <optional>
#include <set>
#include <vector>

// The project's record store and the content of the main window's grid.
//
// Rows are numbered as the user sees them: row 0 is the header, rows 1 .. tableRows()-2 are
// room records, and the last row is the EntryRow, the place the next new record takes. The
// EntryRow's colour, X and Y cells carry the date of the last new record, the finished marker
// and the date of the last edit.
//
// As an item model the table shows rows 1 .. tableRows()-1 (model row = table row - 1) and row 0
// as the horizontal header, so the grid's fixed row stays visible when it scrolls.
//
// The colour lookups are served by indexes kept in step with every change, because the plan
// view asks rowOfColour() on every mouse move.
class RecordTable : public QAbstractTableModel
{
    Q_OBJECT

public:
    static constexpr int ColumnCount = 9;
    enum Column {
        PlanId = 0,
        Name = 1,
        Type = 2,
        Area = 3,
        Tenant = 4,
        Info = 5,
        ColourKey = 6,
        LabelX = 7,
        LabelY = 8,
    };
    using Row = std::array<QString, ColumnCount>;

    static const Row &headerTexts();
    // The EntryRow's X cell of a finished project.
    static QString finishedMarker();
    // Room type codes by radio item index; -1 for any other text.
    static const std::array<QString, 5> &typeCodes();
    static int typeIndex(const QString &code);
    // Today's date as the EntryRow stores it.
    static QString today();

    explicit RecordTable(QObject *parent = nullptr);

    int tableRows() const { return static_cast<int>(m_rows.size()) + 1; }
    int recordCount() const { return tableRows() - 2; }
    int entryRow() const { return tableRows() - 1; }
    // The record counter: the EntryRow's index, "1" for an empty table.
    int recordCounter() const { return entryRow(); }
    bool isFinished() const;

    const QString &cellText(int column, int row) const;
    // The cell converted as a decimal integer; throws MetrolaError with the conversion message.
    int cellNumber(int column, int row) const;
    const Row &row(int r) const { return r == 0 ? m_header : m_rows[static_cast<size_t>(r - 1)]; }
    // Rows 1 .. tableRows()-1, the EntryRow last.
    const std::vector<Row> &rows() const { return m_rows; }

    void setCell(int column, int row, const QString &text);
    void setRow(int r, const Row &texts);
    // Raising appends empty rows at the end; lowering discards the last rows. Never below 2.
    void setTableRows(int rows);

    // Replaces rows 1 .. on; the last given row becomes the EntryRow. An empty list gives an
    // empty table (RowCount 2).
    void replaceRows(std::vector<Row> rows);
    // Exchanges rows 1 .. and their indexes with another table's, so that a table read and
    // checked aside takes this one's place without its rows being copied or indexed again.
    void exchangeRows(RecordTable &other);

    // True when the decimal text of the colour equals column 6 of any row 1 .. RowCount-1.
    // Rows keyed white or black count too, so a new key never steps onto black.
    bool colourInUse(quint32 colour) const;
    // The last record row whose key equals the colour numerically, 0 when none. Rows with an
    // empty key or a reserved one are skipped; a key that is not a number makes every lookup
    // fail as a scan of all rows would.
    int rowOfColour(quint32 colour) const;
    // Record rows whose key reads as white or black, in table order.
    std::vector<int> reservedKeyRows() const;

    // The new record takes the EntryRow's place; the EntryRow moves down, carrying its columns
    // 6..8, and takes the date in column 6 when one is given (the quick commit gives none).
    void appendRecord(const Row &texts, const std::optional<QString> &date);
    // Rewrites record r; the EntryRow's column 8 takes the date when one is given.
    void updateRecord(int r, const Row &texts, const std::optional<QString> &date);
    // Removes the last record (undo): the EntryRow's columns 6..8 stay with the new EntryRow.
    // Returns the removed row; nothing happens on a table without records or when the last
    // record's key is empty (returns nullopt).
    std::optional<Row> removeLastRecord();
    void swapRows(int a, int b);

    // The rows as they were before a change, kept for the project's history of changes: every
    // row a change overwrites or discards is copied once, the first time it is touched.
    struct Journal
    {
        int rowsBefore = 0;
        std::map<int, Row> before;
        // The whole table was replaced (an archive opened): no row image describes that.
        bool replaced = false;
    };
    // Starts keeping the journal (rowsBefore is set here); nullptr stops it.
    void setJournal(Journal *journal);
    // Changes with every change of a cell or the row count, so a change made outside the
    // journal is noticed.
    quint64 revision() const { return m_revision; }

    // QAbstractItemModel
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    bool isRecordRow(int r) const { return r >= 1 && r <= tableRows() - 2; }
    void unindexRow(int r);
    void indexRow(int r);
    void emitRowChanged(int r, int firstColumn, int lastColumn);

    Row &rowAt(int r) { return r == 0 ? m_header : m_rows[static_cast<size_t>(r - 1)]; }
    // Before row r changes: the journal keeps its first image.
    void noteRow(int r);

    // Row 0 apart from the others, so that a loaded file's rows take the table's place as
    // they are, without moving 100,000 rows behind a header.
    Row m_header;
    std::vector<Row> m_rows; // rows 1 .. tableRows() - 1
    // Record rows by numeric key: the last such row and how many there are. Keys are unique
    // in a sound table, so the rare duplicate pays a scan when its last row goes.
    struct KeyRows
    {
        int last = 0;
        int count = 0;
    };
    // QHash keeps its entries in blocks, where a node-based map would allocate once a row.
    QHash<qint64, KeyRows> m_rowsByKey;
    // Record rows whose key is neither empty nor a number.
    std::set<int> m_badKeyRows;
    // Column 6 texts of rows 1 .. RowCount-1 with their number of occurrences.
    QHash<QString, int> m_keyTexts;
    Journal *m_journal = nullptr;
    quint64 m_revision = 0;
};

// Parses a decimal integer as the table's numeric cells are read: optional leading blanks,
// optional sign, digits, within 32 bits.
std::optional<int> parseCellNumber(const QString &text);
QString notANumberMessage(const QString &text);
