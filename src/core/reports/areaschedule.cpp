#include "core/reports/areaschedule.h"

#include "core/leases/leasebook.h"
#include "core/leases/leasedrooms.h"

#include "core/base/numbertext.h"
#include "core/model/captions.h"
#include "core/model/projectsession.h"
#include "core/model/recordtable.h"
#include "core/reports/complexsummary.h"

#include <QByteArray>

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {

constexpr int TitleRow = 0;
constexpr int HeaderRow = 1;
constexpr int FirstRecordRow = 2;

constexpr int ColumnPlanId = 0;
constexpr int ColumnName = 1;
constexpr int FirstTypeColumn = 2; // C..G, one per type code in RecordTable::typeCodes() order
constexpr int ColumnTotalArea = 7; // H
constexpr int ColumnTenant = 8;    // I
constexpr int ColumnInfo = 9;      // J
constexpr int LastColumn = AreaSchedule::ColumnCount - 1; // K
constexpr int HeaderColumns = 10; // A..J; K stays bare

// Room around a text inside its cell, and the drop-down button the filter puts into every
// header cell, which the caption must not run under.
constexpr double CellPadding = 1.5;
constexpr double FilterButton = 2.5;

// The captions of a table: centred, wrapped, bordered on light yellow, on every sheet alike.
AreaSchedule::Format tableHeaderFormat()
{
    AreaSchedule::Format format;
    format.centred = true;
    format.wrap = true;
    format.thinBorders = true;
    format.fill = {AreaSchedule::Fill::Solid, AreaSchedule::LightYellow, 0};
    return format;
}

// What a cell shows, as the viewer writes a number in its general format.
QString shownText(const AreaSchedule::Cell &cell)
{
    switch (cell.kind) {
    case AreaSchedule::Cell::Empty:
        return {};
    case AreaSchedule::Cell::Text:
        return cell.text;
    case AreaSchedule::Cell::Number:
    case AreaSchedule::Cell::Formula:
        return QString::number(cell.number, 'g', 10);
    }
    return {};
}

} // namespace

QString AreaSchedule::titleFor(const QString &archivePath)
{
    // The path may come from another system's description, so every separator counts.
    qsizetype cut = -1;
    for (const QChar separator : {u'/', u'\\', u':'})
        cut = std::max(cut, archivePath.lastIndexOf(separator));
    return u"Размеркация "_s + archivePath.mid(cut + 1);
}

QString AreaSchedule::cellName(int row, int column)
{
    QString letters;
    for (int c = column + 1; c > 0; c = (c - 1) / 26)
        letters.prepend(QChar(u'A' + (c - 1) % 26));
    return letters + QString::number(row + 1);
}

double AreaSchedule::textWidth(const QString &text)
{
    double width = 0;
    for (const QChar c : text)
        width += c.isUpper() ? 1.3 : 1.0;
    return width;
}

int AreaSchedule::wrappedLines(const QString &text, double width)
{
    int lines = 1;
    double used = 0;
    for (const QString &word : text.split(u' ', Qt::SkipEmptyParts)) {
        const double needed = textWidth(word);
        const double space = used > 0 ? textWidth(u" "_s) : 0;
        if (used > 0 && used + space + needed <= width) {
            used += space + needed;
            continue;
        }
        if (used > 0)
            ++lines;
        used = 0;
        // A word wider than the column is broken wherever the line is full.
        for (const QChar c : word) {
            const double w = textWidth(QString(c));
            if (used > 0 && used + w > width) {
                ++lines;
                used = 0;
            }
            used += w;
        }
    }
    return lines;
}

double AreaSchedule::columnWidth(int column) const
{
    return column >= 0 && column < ColumnCount ? m_columnWidths[static_cast<size_t>(column)] : 0;
}

double AreaSchedule::rowHeight(int row) const
{
    return row >= 0 && row < static_cast<int>(m_rowHeights.size()) ? m_rowHeights[static_cast<size_t>(row)] : 0;
}

const AreaSchedule::Cell &AreaSchedule::cell(int row, int column) const
{
    static const Cell empty;
    if (row < 0 || row >= rowCount() || column < 0 || column >= ColumnCount)
        return empty;
    return m_rows[static_cast<size_t>(row)][static_cast<size_t>(column)];
}

AreaSchedule::Cell &AreaSchedule::at(int row, int column)
{
    if (row >= rowCount())
        m_rows.resize(static_cast<size_t>(row) + 1);
    return m_rows[static_cast<size_t>(row)][static_cast<size_t>(column)];
}

void AreaSchedule::setText(int row, int column, const QString &text)
{
    Cell &c = at(row, column);
    // An empty text would only give the cell a value that the viewer shows as nothing.
    c.kind = text.isEmpty() ? Cell::Empty : Cell::Text;
    c.text = text;
}

void AreaSchedule::setNumber(int row, int column, std::optional<double> value, const Format &format)
{
    Cell &cell = at(row, column);
    cell.format = format;
    if (value) {
        cell.kind = Cell::Number;
        cell.number = *value;
    }
}

void AreaSchedule::setLabel(int row, int column, const QString &text, const Format &format)
{
    setText(row, column, text);
    at(row, column).format = format;
}

void AreaSchedule::setTitleBlock(int columns, const QString &note)
{
    Format titleFormat;
    titleFormat.bold = true;
    titleFormat.centred = true;
    titleFormat.fill = {Fill::LightGrey, Lilac, White};
    for (int c = 0; c < columns; ++c)
        at(0, c).format = titleFormat;
    setText(0, 0, m_title);
    m_merges.push_back({0, 0, 0, columns - 1});
    setText(1, 0, note);
    m_merges.push_back({1, 0, 1, columns - 1});
}

void AreaSchedule::setArea(int row, int column, const QString &area)
{
    if (area.isEmpty())
        return;
    if (const auto value = NumberText::area(area)) {
        Cell &c = at(row, column);
        c.kind = Cell::Number;
        c.number = *value;
    } else {
        // Kept as text so the user sees what to correct; the sums skip it.
        setText(row, column, area);
    }
}

AreaSchedule AreaSchedule::build(const RecordTable &table, const Captions &captions,
                                 const QString &archivePath)
{
    AreaSchedule sheet;
    const int records = table.recordCount();

    sheet.m_title = titleFor(archivePath);
    Format titleFormat;
    titleFormat.bold = true;
    titleFormat.centred = true;
    titleFormat.fill = {Fill::LightGrey, Lilac, White};
    for (int c = 0; c < ColumnCount; ++c)
        sheet.at(TitleRow, c).format = titleFormat;
    sheet.setText(TitleRow, 0, sheet.m_title);
    sheet.m_merges.push_back({TitleRow, 0, TitleRow, LastColumn});

    const std::array<QString, HeaderColumns> header = {
        table.cellText(RecordTable::PlanId, 0),
        table.cellText(RecordTable::Name, 0),
        captions[Captions::FirstType],
        captions[Captions::FirstType + 1],
        captions[Captions::FirstType + 2],
        captions[Captions::FirstType + 3],
        captions[Captions::FirstType + 4],
        table.cellText(RecordTable::Area, 0),
        table.cellText(RecordTable::Tenant, 0),
        table.cellText(RecordTable::Info, 0),
    };
    const Format headerFormat = tableHeaderFormat();
    for (int c = 0; c < HeaderColumns; ++c) {
        sheet.setText(HeaderRow, c, header[static_cast<size_t>(c)]);
        sheet.at(HeaderRow, c).format = headerFormat;
    }

    // Totals of the numeric cells, cached with the formulas for viewers that do not
    // recalculate on opening.
    std::array<double, ColumnTotalArea - FirstTypeColumn + 1> sums{};
    for (int r = 1; r <= records; ++r) {
        const int row = FirstRecordRow + r - 1;
        sheet.setText(row, ColumnPlanId, table.cellText(RecordTable::PlanId, r));
        sheet.setText(row, ColumnName, table.cellText(RecordTable::Name, r));
        QString area = table.cellText(RecordTable::Area, r);
        area.replace(u',', u'.');
        const int typeIndex = RecordTable::typeIndex(table.cellText(RecordTable::Type, r));
        if (typeIndex >= 0)
            sheet.setArea(row, FirstTypeColumn + typeIndex, area);
        sheet.setArea(row, ColumnTotalArea, area);
        sheet.setText(row, ColumnTenant, table.cellText(RecordTable::Tenant, r));
        sheet.setText(row, ColumnInfo, table.cellText(RecordTable::Info, r));
        for (int c = FirstTypeColumn; c <= ColumnTotalArea; ++c) {
            const Cell &cell = sheet.cell(row, c);
            if (cell.kind == Cell::Number)
                sums[static_cast<size_t>(c - FirstTypeColumn)] += cell.number;
        }
    }

    const int sumRow = FirstRecordRow + records;
    for (int c = FirstTypeColumn; c <= ColumnTotalArea; ++c) {
        Cell &cell = sheet.at(sumRow, c);
        cell.number = sums[static_cast<size_t>(c - FirstTypeColumn)];
        if (records == 0) {
            // A SUM over the rows above would take in the header and itself.
            cell.kind = Cell::Number;
        } else {
            cell.kind = Cell::Formula;
            cell.text = u"=SUM(%1:%2)"_s.arg(cellName(FirstRecordRow, c),
                                              cellName(sumRow - 1, c));
        }
    }

    for (int row = FirstRecordRow; row <= sumRow; ++row) {
        for (int c = 0; c < ColumnCount; ++c) {
            Format &format = sheet.at(row, c).format;
            format.centred = true;
            format.thinBorders = true;
        }
    }
    for (int c = FirstTypeColumn; c <= ColumnTotalArea; ++c)
        sheet.at(sumRow, c).format.bold = true;
    sheet.at(sumRow, ColumnTotalArea).format.fill = {Fill::Solid, LightYellow, 0};

    // The filter takes the header and the records below it, never the sums.
    sheet.m_autoFilter = Range{HeaderRow, 0, std::max(HeaderRow, sumRow - 1), LastColumn};

    // Each column as wide as its longest text, within bounds; a caption that is still too
    // long wraps, and the header row is as high as its tallest caption.
    int headerLines = 1;
    for (int c = 0; c < HeaderColumns; ++c) {
        const QString &caption = header[static_cast<size_t>(c)];
        double longest = textWidth(caption) + FilterButton;
        for (int row = FirstRecordRow; row <= sumRow; ++row)
            longest = std::max(longest, textWidth(shownText(sheet.cell(row, c))));
        const double width = std::clamp(longest + CellPadding, MinColumnWidth, MaxColumnWidth);
        sheet.m_columnWidths[static_cast<size_t>(c)] = width;
        headerLines = std::max(headerLines, wrappedLines(caption, width - CellPadding - FilterButton));
    }
    sheet.m_rowHeights.assign(static_cast<size_t>(HeaderRow) + 1, 0);
    sheet.m_rowHeights[HeaderRow] = headerLines * LineHeight;
    return sheet;
}

QString AreaSchedule::rentableSheetName()
{
    return u"Арендуемая площадь"_s;
}

std::optional<AreaSchedule> AreaSchedule::rentable(const ComplexSummary &summary, const QString &archivePath)
{
    if (!summary.hasCommon)
        return std::nullopt;
    AreaSchedule sheet;
    sheet.m_sheetName = rentableSheetName();
    const QString archiveName = titleFor(archivePath).mid(titleFor(QString()).size());
    sheet.m_title = rentableSheetName() + (archiveName.isEmpty() ? QString() : u" — "_s + archiveName);
    constexpr int kColumns = 8; // A..H
    sheet.setTitleBlock(kColumns, ComplexSummary::allocationText(summary.allocation) +
                                      u"; коэффициент МОП = (полезная + МОП) / полезная."_s);

    const Format header = tableHeaderFormat();
    Format text;
    text.thinBorders = true;
    Format area = text;
    area.numberFormat = u"0.00"_s;
    Format share = text;
    share.numberFormat = u"0.0"_s;
    Format factor = text;
    factor.numberFormat = u"0.000"_s;
    const auto headerRow = [&](int row, const QStringList &captions) {
        for (int c = 0; c < int(captions.size()); ++c) {
            sheet.setText(row, c, captions[c]);
            sheet.at(row, c).format = header;
        }
    };
    const auto bold = [&](int row, int columns) {
        for (int c = 0; c < columns; ++c)
            sheet.at(row, c).format.bold = true;
    };

    int row = 3;
    headerRow(row++, {u"План"_s, u"Всего"_s, u"Полезная"_s, u"МОП"_s, u"Сдано"_s, u"Свободно"_s, u"Сдано, %"_s,
                      u"Коэффициент МОП"_s});
    const auto planRow = [&](const ComplexSummary::Figures &f) {
        sheet.setLabel(row, 0, f.plan.isEmpty() ? u"Итого"_s : f.plan, text);
        sheet.setNumber(row, 1, f.area, area);
        sheet.setNumber(row, 2, f.usableArea(), area);
        sheet.setNumber(row, 3, f.commonArea, area);
        sheet.setNumber(row, 4, f.usableArea() - f.vacantArea, area);
        sheet.setNumber(row, 5, f.vacantArea, area);
        sheet.setNumber(row, 6, f.letShare(), share);
        sheet.setNumber(row, 7, f.loadFactor(), factor);
        ++row;
    };
    for (const ComplexSummary::Figures &plan : summary.plans)
        planRow(plan);
    planRow(summary.total);
    bold(row - 1, kColumns);

    ++row;
    constexpr int kTenantColumns = 6;
    headerRow(row++, {u"Арендатор"_s, u"Планы"_s, u"Сдано (полезная)"_s, u"Доля МОП"_s, u"Арендуемая"_s,
                      u"Доля комплекса, %"_s});
    const int firstTenantRow = row;
    for (const ComplexSummary::Tenant &tenant : summary.tenants) {
        if (tenant.common)
            continue;
        sheet.setLabel(row, 0, tenant.tenant.isEmpty() ? ComplexSummary::vacantCaption() : tenant.tenant,
                       text);
        sheet.setLabel(row, 1, tenant.plans.join(u", "_s), text);
        sheet.setNumber(row, 2, tenant.area, area);
        sheet.setNumber(row, 3, tenant.commonShare, area);
        sheet.setNumber(row, 4, tenant.rentable(), area);
        sheet.setNumber(row, 5, summary.complexShare(tenant), share);
        ++row;
    }
    sheet.setLabel(row, 0, u"Итого"_s, text);
    sheet.setLabel(row, 1, QString(), text);
    for (int c = 2; c <= 5; ++c) {
        Cell &cell = sheet.at(row, c);
        cell.format = c == 5 ? share : area;
        for (int r = firstTenantRow; r < row; ++r)
            cell.number += sheet.cell(r, c).number;
        if (row > firstTenantRow) {
            cell.kind = Cell::Formula;
            cell.text = u"=SUM(%1:%2)"_s.arg(cellName(firstTenantRow, c), cellName(row - 1, c));
        } else {
            cell.kind = Cell::Number;
        }
    }
    bold(row, kTenantColumns);
    ++row;
    double first = MinColumnWidth;
    double plans = 12;
    for (int r = 3; r < row; ++r) {
        first = std::max(first, textWidth(sheet.cell(r, 0).text) + CellPadding);
        if (r >= firstTenantRow)
            plans = std::max(plans, textWidth(sheet.cell(r, 1).text) + CellPadding);
    }
    sheet.m_columnWidths[0] = std::min(first, MaxColumnWidth);
    sheet.m_columnWidths[1] = std::min(plans, MaxColumnWidth);
    for (int c = 2; c < kColumns; ++c)
        sheet.m_columnWidths[size_t(c)] = 13;
    // The longest captions ("Коэффициент МОП", "Сдано (полезная)") take two lines.
    sheet.m_rowHeights.assign(size_t(row), 0);
    sheet.m_rowHeights[3] = sheet.m_rowHeights[size_t(firstTenantRow - 1)] = 2 * LineHeight;

    // Per plan, the corridors of a plan without usable area (or of rooms on no plan) are
    // charged to nobody; the sheet says so rather than let the sums disagree silently.
    const double uncharged = summary.total.area - summary.rentableTotal();
    if (std::abs(uncharged) >= 0.005) {
        sheet.setText(row + 1, 0, u"Не распределено МОП (планы без полезной площади, помещения без плана): %1"_s.arg(
                                      NumberText::format(std::round(uncharged * 100) / 100)));
    }
    return sheet;
}

QString AreaSchedule::rentRollSheetName()
{
    return u"Договоры"_s;
}

std::optional<AreaSchedule> AreaSchedule::rentRoll(const RecordTable &table, const LeaseBook &leases,
                                                   QDate day, const QString &archivePath)
{
    if (leases.isEmpty())
        return std::nullopt;
    AreaSchedule sheet;
    sheet.m_sheetName = rentRollSheetName();
    const QString archiveName = titleFor(archivePath).mid(titleFor(QString()).size());
    sheet.m_title = u"Договоры на %1"_s.arg(LeaseDate::format(day)) +
                    (archiveName.isEmpty() ? QString() : u" — "_s + archiveName);
    constexpr int kColumns = 10; // A..J
    sheet.setTitleBlock(kColumns, u"Договоры, действующие на эту дату; ставка — рублей за м² в месяц."_s);

    const Format header = tableHeaderFormat();
    Format text;
    text.thinBorders = true;
    text.wrap = true;
    Format area = text;
    area.wrap = false;
    area.numberFormat = u"0.00"_s;
    Format whole = area;
    whole.numberFormat = u"0"_s;
    const int headerRow = 3;
    const QStringList captions{u"Арендатор"_s,
                               u"Договор"_s,
                               u"Планы"_s,
                               u"Помещения"_s,
                               u"Площадь, м²"_s,
                               u"Начало"_s,
                               u"Конец"_s,
                               u"Осталось, мес."_s,
                               u"Ставка, ₽/м²"_s,
                               u"В месяц, ₽"_s};
    for (int c = 0; c < kColumns; ++c) {
        sheet.setText(headerRow, c, captions[c]);
        sheet.at(headerRow, c).format = header;
    }

    std::vector<int> inForce;
    for (int i = 0; i < leases.count(); ++i) {
        if (leases.lease(i).inForce(day))
            inForce.push_back(i);
    }
    std::stable_sort(inForce.begin(), inForce.end(), [&](int a, int b) {
        return QString::localeAwareCompare(leases.lease(a).tenant, leases.lease(b).tenant) < 0;
    });
    int row = headerRow + 1;
    double areaSum = 0;
    double rentSum = 0;
    for (const int index : inForce) {
        const Lease &lease = leases.lease(index);
        const LeasedRooms leased(lease, table);
        const double leaseArea = leased.area;
        QStringList rooms;
        for (const LeasedRooms::Room &room : leased.rooms)
            rooms << (room.row > 0 ? room.name : u"ключ %1 (записи нет)"_s.arg(room.key));
        sheet.setLabel(row, 0, lease.tenant, text);
        sheet.setLabel(row, 1, lease.contract, text);
        sheet.setLabel(row, 2, leased.plans().join(u", "_s), text);
        sheet.setLabel(row, 3, rooms.join(u", "_s), text);
        sheet.setNumber(row, 4, leaseArea, area);
        sheet.setLabel(row, 5, LeaseDate::format(lease.start), text);
        sheet.setLabel(row, 6, lease.end.isValid() ? LeaseDate::format(lease.end) : u"бессрочно"_s, text);
        sheet.setNumber(row, 7,
                        lease.end.isValid() ? std::optional<double>(LeaseDate::monthsBetween(day, lease.end))
                                            : std::nullopt,
                        whole);
        sheet.setNumber(row, 8, lease.rate, area);
        const std::optional<double> rent = LeasedRooms::monthlyRent(lease, leaseArea);
        sheet.setNumber(row, 9, rent, area);
        areaSum += leaseArea;
        rentSum += rent.value_or(0);
        ++row;
    }
    sheet.setLabel(row, 0, u"Итого"_s, text);
    for (int c = 1; c < kColumns; ++c)
        sheet.at(row, c).format = text;
    const int first = headerRow + 1;
    const auto sum = [&](int column, double value) {
        Cell &cell = sheet.at(row, column);
        cell.kind = Cell::Formula;
        cell.format = area;
        cell.number = std::round(value * 100) / 100;
        cell.text =
            row > first ? u"=SUM(%1:%2)"_s.arg(cellName(first, column), cellName(row - 1, column)) : u"=0"_s;
    };
    sum(4, areaSum);
    sum(9, rentSum);
    for (int c = 0; c < kColumns; ++c)
        sheet.at(row, c).format.bold = true;
    sheet.m_autoFilter = Range{headerRow, 0, row - 1, kColumns - 1};
    const std::array<double, kColumns> widths{24, 12, 14, 30, 12, 11, 11, 10, 10, 13};
    for (int c = 0; c < kColumns; ++c)
        sheet.m_columnWidths[size_t(c)] = widths[size_t(c)];
    sheet.m_rowHeights.assign(size_t(row + 1), 0);
    sheet.m_rowHeights[size_t(headerRow)] = 2 * LineHeight;
    return sheet;
}

std::vector<AreaSchedule> AreaSchedule::workbook(const ProjectSession &session, bool wholeComplex, QDate day)
{
    std::vector<AreaSchedule> sheets;
    sheets.push_back(build(session.table(), session.captions(), session.reportArchive()));
    if (session.roomFlags().hasCommon()) {
        const ComplexSummary summary = ComplexSummary::of(
            session.table(), session.plans().names(), session.roomFlags(),
            wholeComplex ? ComplexSummary::Allocation::WholeComplex : ComplexSummary::Allocation::PerPlan);
        if (auto sheet = rentable(summary, session.reportArchive()))
            sheets.push_back(std::move(*sheet));
    }
    if (const LeaseBook *leases = LeaseBook::in(session); leases && !leases->isRefused()) {
        if (auto sheet = rentRoll(session.table(), *leases, day.isValid() ? day : QDate::currentDate(),
                                  session.lastArchive))
            sheets.push_back(std::move(*sheet));
    }
    return sheets;
}
