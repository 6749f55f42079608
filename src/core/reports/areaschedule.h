#pragma once

#include <QDate>
#include <QString>

#include <array>
#include <optional>
#include <vector>

class ComplexSummary;
class ProjectSession;
class LeaseBook;
class RecordTable;
struct Captions;

// The area schedule as a plain description of one worksheet: what each cell holds, how it
// looks, what is merged and where the filter sits. Building it needs no file and no
// spreadsheet library, so every rule of the report can be checked on the description alone;
// XlsxWorkbook only translates it.
//
// Rows and columns are counted from 0 as the writer counts them: row 0 is sheet row 1,
// column 0 is column A.
class AreaSchedule
{
public:
    // Columns A..K: K carries no text but belongs to the title, the table block and the filter.
    static constexpr int ColumnCount = 11;

    // Colours as 0xRRGGBB. The report was designed on the classic 56-colour palette; the
    // indexes are kept beside the values so the look can be traced back.
    static constexpr quint32 White = 0xFFFFFF;      // palette index 2
    static constexpr quint32 LightYellow = 0xFFFF99; // palette index 36
    static constexpr quint32 Lilac = 0xCC99FF;       // palette index 39

    struct Fill
    {
        // LightGrey is the 25 % dot pattern (old pattern number 4): `colour` shows through,
        // the dots are `patternColour`.
        enum Pattern { None, Solid, LightGrey };
        Pattern pattern = None;
        quint32 colour = 0;
        quint32 patternColour = 0;
        bool operator==(const Fill &) const = default;
    };

    struct Format
    {
        bool bold = false;
        bool centred = false;
        bool wrap = false;
        bool thinBorders = false; // all four sides
        Fill fill;
        QString numberFormat; // e.g. "0.00"; empty: the general format
        bool operator==(const Format &) const = default;
    };

    struct Cell
    {
        enum Kind { Empty, Text, Number, Formula };
        Kind kind = Empty;
        QString text; // Text: the text; Formula: the formula in A1 form with its leading "="
        double number = 0; // Number: the value; Formula: the cached result
        Format format;
    };

    struct Range
    {
        int firstRow = 0;
        int firstColumn = 0;
        int lastRow = 0;
        int lastColumn = 0;
        bool operator==(const Range &) const = default;
    };

    // archivePath is the path of the archive last opened, empty when none.
    static AreaSchedule build(const RecordTable &table, const Captions &captions,
                              const QString &archivePath);

    // The sheet "Арендуемая площадь": the plans' usable and common areas with their load
    // factors, and each tenant's let, common share and rentable area, as `summary` counts
    // them. nullopt when no room is common: such a workbook stays the one sheet it always was.
    static std::optional<AreaSchedule> rentable(const ComplexSummary &summary, const QString &archivePath);
    static QString rentableSheetName();
    // The sheet "Договоры", a rent roll of the leases in force on the day: tenant, contract,
    // plans and rooms, area, start, end, months left, rate, monthly rent, and a total row of
    // sums. nullopt for a project without leases.
    static std::optional<AreaSchedule> rentRoll(const RecordTable &table, const LeaseBook &leases, QDate day,
                                                const QString &archivePath);
    static QString rentRollSheetName();
    // The workbook's sheets for the project: the schedule, then the rentable sheet when some
    // room is common, then the rent roll on the day (today when not given) when it has leases.
    static std::vector<AreaSchedule> workbook(const ProjectSession &session, bool wholeComplex,
                                              QDate day = {});

    // "Размеркация " followed by the archive's file name.
    static QString titleFor(const QString &archivePath);
    // "C6" for row 5, column 2.
    static QString cellName(int row, int column);
    // How wide a text shows, in the sheet's width unit (the digit width of the default font):
    // capitals count a little more than other characters.
    static double textWidth(const QString &text);
    // The lines a text takes when wrapped at word boundaries into `width` units; a word too
    // long for one line is broken.
    static int wrappedLines(const QString &text, double width);

    const QString &title() const { return m_title; }
    // Empty: the spreadsheet's own name for the first sheet.
    const QString &sheetName() const { return m_sheetName; }
    int rowCount() const { return static_cast<int>(m_rows.size()); }
    // An empty plain cell outside the described rows.
    const Cell &cell(int row, int column) const;
    const std::vector<Range> &merges() const { return m_merges; }
    const std::optional<Range> &autoFilter() const { return m_autoFilter; }
    // Column widths in the sheet's width unit and row heights in points; 0 leaves the viewer's
    // default. A spreadsheet grows a wrapped row only while the text is typed in, so a written
    // file has to carry the height its wrapped header needs.
    double columnWidth(int column) const;
    double rowHeight(int row) const;

    static constexpr double MinColumnWidth = 8;
    static constexpr double MaxColumnWidth = 40;
    static constexpr double LineHeight = 15; // points, one line of the default font

private:
    Cell &at(int row, int column);
    void setText(int row, int column, const QString &text);
    void setArea(int row, int column, const QString &area);
    // A cell of the given format; a number only when there is one, else left empty.
    void setNumber(int row, int column, std::optional<double> value, const Format &format);
    void setLabel(int row, int column, const QString &text, const Format &format);
    // Row 1: the title over `columns` columns, merged; row 2: a note under it.
    void setTitleBlock(int columns, const QString &note);

    QString m_title;
    QString m_sheetName;
    std::vector<std::array<Cell, ColumnCount>> m_rows;
    std::vector<Range> m_merges;
    std::optional<Range> m_autoFilter;
    std::array<double, ColumnCount> m_columnWidths{};
    std::vector<double> m_rowHeights;
};
