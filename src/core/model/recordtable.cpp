#include "core/model/recordtable.h"

#include "core/base/metrolaerror.h"
#include "core/plan/colourkey.h"

#include <QDate>

#include <algorithm>

std::optional<int> parseCellNumber(const QString &text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text[i] == u' ')
        ++i;
    bool negative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    if (i == n)
        return std::nullopt;
    qint64 value = 0;
    for (; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c - u'0');
        if (value > qint64(1) << 31)
            return std::nullopt;
    }
    if (negative)
        value = -value;
    if (value > std::numeric_limits<int>::max() || value < std::numeric_limits<int>::min())
        return std::nullopt;
    return static_cast<int>(value);
}

QString notANumberMessage(const QString &text)
{
    return QStringLiteral("«%1» не является целым числом").arg(text);
}

const RecordTable::Row &RecordTable::headerTexts()
{
    static const Row header = {
        QStringLiteral("ID плана"), QStringLiteral("Название"), QStringLiteral("Тип"),
        QStringLiteral("Инфо1"),    QStringLiteral("Инфо2"),    QStringLiteral("Доп.Инф."),
        QStringLiteral("SYS-Цвет"), QStringLiteral("SYS-X"),    QStringLiteral("SYS-Y"),
    };
    return header;
}

QString RecordTable::finishedMarker()
{
    return QStringLiteral("НЕРЕДАКТ");
}

const std::array<QString, 5> &RecordTable::typeCodes()
{
    static const std::array<QString, 5> codes = {
        QStringLiteral("торг"), QStringLiteral("офис"), QStringLiteral("прво"),
        QStringLiteral("склд"), QStringLiteral("проч"),
    };
    return codes;
}

int RecordTable::typeIndex(const QString &code)
{
    const auto &codes = typeCodes();
    const auto it = std::find(codes.begin(), codes.end(), code);
    return it == codes.end() ? -1 : static_cast<int>(it - codes.begin());
}

QString RecordTable::today()
{
    return QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy"));
}

RecordTable::RecordTable(QObject *parent)
    : QAbstractTableModel(parent), m_header(headerTexts()), m_rows(1)
{
    indexRow(1);
}

bool RecordTable::isFinished() const
{
    return cellText(LabelX, entryRow()) == finishedMarker();
}

const QString &RecordTable::cellText(int column, int row) const
{
    Q_ASSERT(column >= 0 && column < ColumnCount && row >= 0 && row < tableRows());
    return this->row(row)[static_cast<size_t>(column)];
}

int RecordTable::cellNumber(int column, int row) const
{
    const QString &text = cellText(column, row);
    if (const auto value = parseCellNumber(text))
        return *value;
    throw MetrolaError(notANumberMessage(text));
}

void RecordTable::setCell(int column, int row, const QString &text)
{
    QString &cell = rowAt(row)[static_cast<size_t>(column)];
    if (cell == text)
        return;
    noteRow(row);
    const bool keyed = column == ColourKey;
    if (keyed)
        unindexRow(row);
    cell = text;
    if (keyed)
        indexRow(row);
    emitRowChanged(row, column, column);
}

void RecordTable::setRow(int r, const Row &texts)
{
    noteRow(r);
    unindexRow(r);
    rowAt(r) = texts;
    indexRow(r);
    emitRowChanged(r, 0, ColumnCount - 1);
}

void RecordTable::setTableRows(int rows)
{
    rows = std::max(rows, 2);
    const int old = tableRows();
    if (rows == old)
        return;
    for (int r = rows; r < old; ++r)
        noteRow(r);
    ++m_revision;
    // Only rows from the smaller EntryRow on change between record, EntryRow and gone.
    const int first = std::min(old, rows) - 1;
    for (int r = first; r < old; ++r)
        unindexRow(r);
    if (rows > old) {
        beginInsertRows(QModelIndex(), old - 1, rows - 2);
        m_rows.resize(static_cast<size_t>(rows - 1));
        endInsertRows();
    } else {
        beginRemoveRows(QModelIndex(), rows - 1, old - 2);
        m_rows.resize(static_cast<size_t>(rows - 1));
        endRemoveRows();
    }
    for (int r = first; r < rows; ++r)
        indexRow(r);
}

void RecordTable::replaceRows(std::vector<Row> rows)
{
    if (m_journal)
        m_journal->replaced = true;
    ++m_revision;
    beginResetModel();
    if (rows.empty())
        rows.emplace_back();
    m_rows.swap(rows);
    m_rowsByKey.clear();
    m_badKeyRows.clear();
    m_keyTexts.clear();
    m_rowsByKey.reserve(static_cast<qsizetype>(m_rows.size()));
    m_keyTexts.reserve(static_cast<qsizetype>(m_rows.size()));
    for (int r = 1; r < tableRows(); ++r)
        indexRow(r);
    endResetModel();
}

void RecordTable::exchangeRows(RecordTable &other)
{
    if (&other == this)
        return;
    for (RecordTable *table : {this, &other}) {
        if (table->m_journal)
            table->m_journal->replaced = true;
        ++table->m_revision;
    }
    beginResetModel();
    other.beginResetModel();
    m_rows.swap(other.m_rows);
    m_rowsByKey.swap(other.m_rowsByKey);
    m_badKeyRows.swap(other.m_badKeyRows);
    m_keyTexts.swap(other.m_keyTexts);
    other.endResetModel();
    endResetModel();
}

bool RecordTable::colourInUse(quint32 colour) const
{
    return m_keyTexts.contains(QString::number(colour));
}

int RecordTable::rowOfColour(quint32 colour) const
{
    if (!m_badKeyRows.empty())
        throw MetrolaError(notANumberMessage(cellText(ColourKey, *m_badKeyRows.begin())));
    const auto it = m_rowsByKey.constFind(static_cast<qint64>(colour));
    return it == m_rowsByKey.cend() ? 0 : it->last;
}

std::vector<int> RecordTable::reservedKeyRows() const
{
    std::vector<int> rows;
    for (int r = 1; r <= recordCount(); ++r) {
        const auto key = parseCellNumber(cellText(ColourKey, r));
        if (key && ColourKey::isReserved(*key))
            rows.push_back(r);
    }
    return rows;
}

void RecordTable::appendRecord(const Row &texts, const std::optional<QString> &date)
{
    const int r = entryRow();
    setTableRows(tableRows() + 1);
    for (int c = ColourKey; c <= LabelY; ++c)
        setCell(c, r + 1, cellText(c, r));
    setRow(r, texts);
    if (date)
        setCell(ColourKey, entryRow(), *date);
}

void RecordTable::updateRecord(int r, const Row &texts, const std::optional<QString> &date)
{
    Q_ASSERT(isRecordRow(r));
    setRow(r, texts);
    if (date)
        setCell(LabelY, entryRow(), *date);
}

std::optional<RecordTable::Row> RecordTable::removeLastRecord()
{
    const int n = tableRows() - 2;
    if (n < 1 || cellText(ColourKey, n).isEmpty())
        return std::nullopt;
    const Row removed = row(n);
    const Row entry = row(entryRow());
    setRow(n, Row{});
    setTableRows(tableRows() - 1);
    for (int c = ColourKey; c <= LabelY; ++c)
        setCell(c, entryRow(), entry[static_cast<size_t>(c)]);
    return removed;
}

void RecordTable::swapRows(int a, int b)
{
    Q_ASSERT(isRecordRow(a) && isRecordRow(b));
    noteRow(a);
    noteRow(b);
    unindexRow(a);
    unindexRow(b);
    std::swap(rowAt(a), rowAt(b));
    indexRow(a);
    indexRow(b);
    emitRowChanged(a, 0, ColumnCount - 1);
    emitRowChanged(b, 0, ColumnCount - 1);
}

void RecordTable::setJournal(Journal *journal)
{
    m_journal = journal;
    if (m_journal)
        m_journal->rowsBefore = tableRows();
}

void RecordTable::noteRow(int r)
{
    ++m_revision;
    if (m_journal && r < m_journal->rowsBefore && !m_journal->before.contains(r))
        m_journal->before.emplace(r, row(r));
}

void RecordTable::unindexRow(int r)
{
    if (r < 1 || r >= tableRows())
        return;
    const QString &key = cellText(ColourKey, r);
    if (key.isEmpty())
        return;
    const auto text = m_keyTexts.find(key);
    if (text != m_keyTexts.end() && --text.value() == 0)
        m_keyTexts.erase(text);
    if (!isRecordRow(r))
        return;
    const auto value = parseCellNumber(key);
    if (value && ColourKey::isReserved(*value))
        return;
    if (value) {
        auto it = m_rowsByKey.find(*value);
        if (it != m_rowsByKey.end()) {
            KeyRows &rows = it.value();
            if (--rows.count == 0) {
                m_rowsByKey.erase(it);
            } else if (rows.last == r) {
                rows.last = 0;
                for (int other = 1; other <= tableRows() - 2; ++other) {
                    if (other == r)
                        continue;
                    const auto otherValue = parseCellNumber(cellText(ColourKey, other));
                    if (otherValue && *otherValue == *value)
                        rows.last = other;
                }
            }
        }
    } else {
        m_badKeyRows.erase(r);
    }
}

void RecordTable::indexRow(int r)
{
    if (r < 1 || r >= tableRows())
        return;
    const QString &key = cellText(ColourKey, r);
    if (key.isEmpty())
        return;
    ++m_keyTexts[key];
    if (!isRecordRow(r))
        return;
    const auto value = parseCellNumber(key);
    if (value && ColourKey::isReserved(*value))
        return;
    if (value) {
        KeyRows &rows = m_rowsByKey[*value];
        rows.last = std::max(rows.last, r);
        ++rows.count;
    } else {
        m_badKeyRows.insert(r);
    }
}

void RecordTable::emitRowChanged(int r, int firstColumn, int lastColumn)
{
    if (r == 0) {
        Q_EMIT headerDataChanged(Qt::Horizontal, firstColumn, lastColumn);
        return;
    }
    Q_EMIT dataChanged(index(r - 1, firstColumn), index(r - 1, lastColumn), {Qt::DisplayRole});
}

int RecordTable::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : tableRows() - 1;
}

int RecordTable::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant RecordTable::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return {};
    return cellText(index.column(), index.row() + 1);
}

QVariant RecordTable::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal) {
        if (section < 0 || section >= ColumnCount)
            return {};
        return cellText(section, 0);
    }
    return section + 1;
}
