#include "core/reports/xlsxworkbook.h"

#include "core/base/metrolaerror.h"
#include "core/base/safefile.h"
#include "core/base/numericlocale.h"
#include "core/reports/areaschedule.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <xlsxwriter.h>

#include <memory>
#include <utility>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

constexpr int MaxFileNameBytes = 255;

[[noreturn]] void fail(const QString &path, const QString &reason)
{
    throw MetrolaError(u"Не удалось записать таблицу «%1»: %2"_s.arg(path, reason));
}

QString libraryError(lxw_error error)
{
    return QString::fromUtf8(lxw_strerror(error));
}

struct WorkbookDeleter
{
    void operator()(lxw_workbook *workbook) const { lxw_workbook_free(workbook); }
};
using WorkbookPtr = std::unique_ptr<lxw_workbook, WorkbookDeleter>;

// libxlsxwriter keeps its formats until the workbook is freed; equal descriptions share one.
class FormatCache
{
public:
    explicit FormatCache(lxw_workbook *workbook) : m_workbook(workbook) {}

    lxw_format *get(const AreaSchedule::Format &format)
    {
        if (format == AreaSchedule::Format{})
            return nullptr;
        for (const auto &[known, handle] : m_formats) {
            if (known == format)
                return handle;
        }
        lxw_format *handle = workbook_add_format(m_workbook);
        if (format.bold)
            format_set_bold(handle);
        if (format.centred)
            format_set_align(handle, LXW_ALIGN_CENTER);
        if (format.wrap)
            format_set_text_wrap(handle);
        if (format.thinBorders)
            format_set_border(handle, LXW_BORDER_THIN);
        if (!format.numberFormat.isEmpty())
            format_set_num_format(handle, format.numberFormat.toUtf8().constData());
        switch (format.fill.pattern) {
        case AreaSchedule::Fill::None:
            break;
        case AreaSchedule::Fill::Solid:
            format_set_pattern(handle, LXW_PATTERN_SOLID);
            format_set_bg_color(handle, format.fill.colour);
            break;
        case AreaSchedule::Fill::LightGrey:
            // In a patterned fill the file's foreground colour is the dots' colour.
            format_set_pattern(handle, LXW_PATTERN_LIGHT_GRAY);
            format_set_bg_color(handle, format.fill.colour);
            format_set_fg_color(handle, format.fill.patternColour);
            break;
        }
        m_formats.emplace_back(format, handle);
        return handle;
    }

private:
    lxw_workbook *m_workbook;
    std::vector<std::pair<AreaSchedule::Format, lxw_format *>> m_formats;
};

// The workbook is XML, which cannot hold most control characters, a lone surrogate or U+FFFE
// and U+FFFF; a NUL would even end the text handed to the library. A hand-made description
// file may carry any of them, so they are left out of what the sheet shows.
QByteArray xmlText(const QString &text)
{
    QString kept;
    kept.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && QChar::isLowSurrogate(text[i + 1].unicode())) {
            kept += text[i];
            kept += text[++i];
            continue;
        }
        const bool allowed = c == u'\t' || c == u'\n' || c == u'\r'
                             || (c >= 0x20 && c < 0xD800) || (c >= 0xE000 && c <= 0xFFFD);
        if (allowed)
            kept += text[i];
    }
    return kept.toUtf8();
}

void check(lxw_error error, const QString &path, const AreaSchedule::Cell *cell = nullptr)
{
    if (error == LXW_NO_ERROR)
        return;
    QString reason = libraryError(error);
    if (cell && cell->kind == AreaSchedule::Cell::Text)
        reason += u" (%1…)"_s.arg(cell->text.left(40));
    fail(path, reason);
}

void writeCells(lxw_worksheet *worksheet, FormatCache &formats, const AreaSchedule &sheet,
                const QString &path)
{
    for (const AreaSchedule::Range &merge : sheet.merges()) {
        const auto &first = sheet.cell(merge.firstRow, merge.firstColumn);
        // The merge only lays the format over the range; the cells follow below.
        check(worksheet_merge_range(worksheet, static_cast<lxw_row_t>(merge.firstRow),
                                    static_cast<lxw_col_t>(merge.firstColumn),
                                    static_cast<lxw_row_t>(merge.lastRow),
                                    static_cast<lxw_col_t>(merge.lastColumn), "",
                                    formats.get(first.format)),
              path);
    }

    for (int c = 0; c < AreaSchedule::ColumnCount; ++c) {
        if (const double width = sheet.columnWidth(c); width > 0) {
            const auto column = static_cast<lxw_col_t>(c);
            check(worksheet_set_column(worksheet, column, column, width, nullptr), path);
        }
    }
    for (int r = 0; r < sheet.rowCount(); ++r) {
        if (const double height = sheet.rowHeight(r); height > 0)
            check(worksheet_set_row(worksheet, static_cast<lxw_row_t>(r), height, nullptr), path);
    }

    for (int r = 0; r < sheet.rowCount(); ++r) {
        for (int c = 0; c < AreaSchedule::ColumnCount; ++c) {
            const AreaSchedule::Cell &cell = sheet.cell(r, c);
            lxw_format *format = formats.get(cell.format);
            const auto row = static_cast<lxw_row_t>(r);
            const auto column = static_cast<lxw_col_t>(c);
            lxw_error error = LXW_NO_ERROR;
            switch (cell.kind) {
            case AreaSchedule::Cell::Empty:
                if (format)
                    error = worksheet_write_blank(worksheet, row, column, format);
                break;
            case AreaSchedule::Cell::Text:
                error = worksheet_write_string(worksheet, row, column,
                                               xmlText(cell.text).constData(), format);
                break;
            case AreaSchedule::Cell::Number:
                error = worksheet_write_number(worksheet, row, column, cell.number, format);
                break;
            case AreaSchedule::Cell::Formula:
                error = worksheet_write_formula_num(worksheet, row, column,
                                                    cell.text.toUtf8().constData(), format,
                                                    cell.number);
                break;
            }
            check(error, path, &cell);
        }
    }

    // Printed, the table runs one landscape A4 page wide, as many pages long as it takes.
    constexpr uint8_t kPaperA4 = 9;
    worksheet_set_paper(worksheet, kPaperA4);
    worksheet_set_landscape(worksheet);
    worksheet_fit_to_pages(worksheet, 1, 0);
    if (const auto &filter = sheet.autoFilter()) {
        const auto header = static_cast<lxw_row_t>(filter->firstRow);
        check(worksheet_autofilter(worksheet, header, static_cast<lxw_col_t>(filter->firstColumn),
                                   static_cast<lxw_row_t>(filter->lastRow),
                                   static_cast<lxw_col_t>(filter->lastColumn)),
              path);
        // Every printed page starts with the column captions.
        check(worksheet_repeat_rows(worksheet, header, header), path);
    }
}

// libxlsxwriter can only write to a named file and leaves a partial one when it fails, so it
// writes into a private scratch folder and the caller places the result. The library's own
// temporary files go there too, never to the system's folder behind the caller's back.
QByteArray workbookBytes(const XlsxWorkbook::Sheets &sheets, const QString &path, const QString &scratchParent)
{
    // The library prints its numbers (cell values, widths, heights) with the C library.
    const NumericLocale::CScope cNumbers;
    QTemporaryDir scratch(QDir(scratchParent.isEmpty() ? QDir::tempPath() : scratchParent)
                              .filePath(u"metrola-xlsx-XXXXXX"_s));
    if (!scratch.isValid())
        fail(path, SafeFile::reasonOf(scratch.errorString()));
    const QString scratchFile = scratch.filePath(u"workbook.xlsx"_s);
    QByteArray scratchDir = QFile::encodeName(scratch.path());

    lxw_workbook_options options{};
    options.tmpdir = scratchDir.data();
    WorkbookPtr workbook(workbook_new_opt(QFile::encodeName(scratchFile).constData(), &options));
    if (!workbook)
        fail(path, u"нет памяти для книги"_s);
    FormatCache formats(workbook.get());
    for (const AreaSchedule *sheet : sheets) {
        // The first sheet keeps the spreadsheet's own name, as it always had.
        const QByteArray name = sheet->sheetName().toUtf8();
        lxw_worksheet *worksheet = workbook_add_worksheet(workbook.get(), name.isEmpty() ? nullptr : name.constData());
        if (!worksheet)
            fail(path, u"нет памяти для листа"_s);
        writeCells(worksheet, formats, *sheet, path);
    }
    // workbook_close frees the workbook whatever it returns.
    check(workbook_close(workbook.release()), path);

    QFile file(scratchFile);
    if (!file.open(QIODevice::ReadOnly))
        fail(path, SafeFile::reasonOf(file));
    return file.readAll();
}

} // namespace

XlsxWorkbook::Sheets XlsxWorkbook::sheetsOf(const std::vector<AreaSchedule> &sheets)
{
    Sheets pointers;
    for (const AreaSchedule &sheet : sheets)
        pointers.push_back(&sheet);
    return pointers;
}

void XlsxWorkbook::write(const AreaSchedule &sheet, const QString &path, const QString &scratchParent)
{
    write(Sheets{&sheet}, path, scratchParent);
}

void XlsxWorkbook::write(const Sheets &sheets, const QString &path, const QString &scratchParent)
{
    const QByteArray bytes = workbookBytes(sheets, path, scratchParent);
    // Replaces what has the name, never writing through it: a pipe or a link given as the
    // target gets a workbook in its place.
    QString reason;
    if (!SafeFile::writeReplacing(path, bytes, &reason))
        fail(path, reason);
}

QByteArray XlsxWorkbook::bytes(const AreaSchedule &sheet, const QString &name)
{
    return workbookBytes(Sheets{&sheet}, name, {});
}

QByteArray XlsxWorkbook::bytes(const Sheets &sheets, const QString &name)
{
    return workbookBytes(sheets, name, {});
}

QString XlsxWorkbook::writeToTemporaryFolder(const AreaSchedule &sheet)
{
    const QString name = fileNameFor(sheet.title());
    QTemporaryDir folder(QDir(QDir::tempPath()).filePath(u"metrola-XXXXXX"_s));
    if (!folder.isValid())
        fail(name, SafeFile::reasonOf(folder.errorString()));
    const QString path = folder.filePath(name);
    write(sheet, path, folder.path());
    folder.setAutoRemove(false);
    return path;
}

QString XlsxWorkbook::fileNameFor(const QString &title)
{
    static const QString suffix = u".xlsx"_s;
    QString name = title.trimmed();
    for (QChar &c : name) {
        if (c == u'/' || c.category() == QChar::Other_Control)
            c = u'_';
    }
    // An archive name near the file system's limit must not make the report unwritable.
    while (!name.isEmpty() && (name + suffix).toUtf8().size() > MaxFileNameBytes) {
        name.chop(1);
        if (!name.isEmpty() && name.back().isHighSurrogate())
            name.chop(1);
    }
    return name + suffix;
}
