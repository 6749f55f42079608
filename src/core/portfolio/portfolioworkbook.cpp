// The portfolio as a workbook: written with libxlsxwriter into a scratch folder, then put in
// place in one step, so a failure leaves nothing at the target.

#include "core/portfolio/portfolio.h"

#include "core/base/metrolaerror.h"
#include "core/base/numericlocale.h"
#include "core/base/safefile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <xlsxwriter.h>

using namespace Qt::StringLiterals;

namespace Portfolio {

namespace {

[[noreturn]] void fail(const QString &path, const QString &reason)
{
    throw MetrolaError(u"Не удалось записать таблицу «%1»: %2"_s.arg(QDir::toNativeSeparators(path), reason));
}

class Sheet
{
public:
    Sheet(lxw_worksheet *sheet, const QString &path)
        : m_sheet(sheet)
        , m_path(path)
    {}

    void text(int row, int column, const QString &value, lxw_format *format = nullptr)
    {
        check(worksheet_write_string(m_sheet, lxw_row_t(row), lxw_col_t(column), value.toUtf8().constData(),
                                     format));
    }
    void number(int row, int column, double value, lxw_format *format)
    {
        check(worksheet_write_number(m_sheet, lxw_row_t(row), lxw_col_t(column), value, format));
    }
    void optional(int row, int column, const std::optional<double> &value, lxw_format *format)
    {
        if (value)
            number(row, column, *value, format);
    }
    void check(lxw_error error)
    {
        if (error != LXW_NO_ERROR)
            fail(m_path, QString::fromUtf8(lxw_strerror(error)));
    }
    lxw_worksheet *handle() const { return m_sheet; }

private:
    lxw_worksheet *m_sheet;
    QString m_path;
};

} // namespace

void writeWorkbook(const Result &result, const QString &path, const QString &scratchParent)
{
    const NumericLocale::CScope cNumbers;
    QTemporaryDir scratch(QDir(scratchParent.isEmpty() ? QDir::tempPath() : scratchParent)
                              .filePath(u"metrola-portfolio-XXXXXX"_s));
    if (!scratch.isValid())
        fail(path, SafeFile::reasonOf(scratch.errorString()));
    const QString scratchFile = scratch.filePath(u"portfolio.xlsx"_s);
    QByteArray scratchDir = QFile::encodeName(scratch.path());
    lxw_workbook_options options{};
    options.tmpdir = scratchDir.data();
    lxw_workbook *workbook = workbook_new_opt(QFile::encodeName(scratchFile).constData(), &options);
    if (!workbook)
        fail(path, u"нет памяти для книги"_s);

    lxw_format *bold = workbook_add_format(workbook);
    format_set_bold(bold);
    lxw_format *areaFormat = workbook_add_format(workbook);
    format_set_num_format(areaFormat, "0.00");
    lxw_format *totalArea = workbook_add_format(workbook);
    format_set_num_format(totalArea, "0.00");
    format_set_bold(totalArea);
    lxw_format *share = workbook_add_format(workbook);
    format_set_num_format(share, "0.0");
    lxw_format *totalShare = workbook_add_format(workbook);
    format_set_num_format(totalShare, "0.0");
    format_set_bold(totalShare);
    lxw_format *factorFormat = workbook_add_format(workbook);
    format_set_num_format(factorFormat, "0.000");
    lxw_format *totalFactor = workbook_add_format(workbook);
    format_set_num_format(totalFactor, "0.000");
    format_set_bold(totalFactor);

    try {
        Sheet complexes(workbook_add_worksheet(workbook, "Портфель"), path);
        const QStringList headers = {u"Комплекс"_s,  u"Архив"_s,       u"Планов"_s,
                                     u"Помещений"_s, u"Площадь"_s,     u"Сдано"_s,
                                     u"Свободно"_s,  u"МОП"_s,         u"Сдано, %"_s,
                                     u"К МОП"_s,     u"Арендаторов"_s, u"Договоров, истекающих за 12 мес."_s,
                                     u"Их площадь"_s};
        for (int c = 0; c < headers.size(); ++c)
            complexes.text(0, c, headers[c], bold);
        int row = 1;
        const auto line = [&](const Complex &c, bool total) {
            complexes.text(row, 0, c.name, total ? bold : nullptr);
            if (!total)
                complexes.text(row, 1, QDir::toNativeSeparators(c.path));
            complexes.number(row, 2, c.plans, total ? bold : nullptr);
            complexes.number(row, 3, c.rooms, total ? bold : nullptr);
            lxw_format *a = total ? totalArea : areaFormat;
            complexes.number(row, 4, c.area, a);
            complexes.number(row, 5, c.let, a);
            complexes.number(row, 6, c.vacant, a);
            complexes.number(row, 7, c.common, a);
            complexes.optional(row, 8, c.letShare, total ? totalShare : share);
            complexes.optional(row, 9, c.loadFactor, total ? totalFactor : factorFormat);
            complexes.number(row, 10, c.tenants, total ? bold : nullptr);
            complexes.number(row, 11, c.leasesEnding, total ? bold : nullptr);
            complexes.number(row, 12, c.leasesEndingArea, a);
            ++row;
        };
        for (const Complex &c : result.complexes)
            if (c.ok())
                line(c, false);
        line(result.total, true);
        if (result.unreadable > 0) {
            ++row;
            complexes.text(row++, 0, u"Не прочитаны"_s, bold);
            for (const Complex &c : result.complexes) {
                if (c.ok())
                    continue;
                complexes.text(row, 0, c.name);
                complexes.text(row, 1, QDir::toNativeSeparators(c.path));
                complexes.text(row, 2, c.error);
                ++row;
            }
        }
        complexes.check(worksheet_set_column(complexes.handle(), 0, 0, 28, nullptr));
        complexes.check(worksheet_set_column(complexes.handle(), 1, 1, 40, nullptr));
        complexes.check(worksheet_set_column(complexes.handle(), 2, 12, 12, nullptr));
        complexes.text(row + 1, 0, u"На дату %1"_s.arg(result.day.toString(u"dd.MM.yyyy"_s)));
        worksheet_freeze_panes(complexes.handle(), 1, 1);

        // One row per tenant, a column per complex it could rent in.
        Sheet tenants(workbook_add_worksheet(workbook, "Арендаторы"), path);
        tenants.text(0, 0, u"Арендатор"_s, bold);
        tenants.text(0, 1, u"Площадь всего"_s, bold);
        tenants.text(0, 2, u"Комплексов"_s, bold);
        std::vector<int> column(result.complexes.size(), -1);
        int next = 3;
        for (size_t i = 0; i < result.complexes.size(); ++i) {
            if (!result.complexes[i].ok())
                continue;
            column[i] = next;
            tenants.text(0, next++, result.complexes[i].name, bold);
        }
        int r = 1;
        for (const Tenant &t : result.tenants) {
            tenants.text(r, 0, t.tenant);
            tenants.number(r, 1, t.area, areaFormat);
            tenants.number(r, 2, double(t.areas.size()), nullptr);
            for (const auto &[index, a] : t.areas)
                tenants.number(r, column[size_t(index)], a, areaFormat);
            ++r;
        }
        tenants.check(worksheet_set_column(tenants.handle(), 0, 0, 32, nullptr));
        tenants.check(
            worksheet_set_column(tenants.handle(), 1, lxw_col_t(std::max(next - 1, 1)), 14, nullptr));
        worksheet_freeze_panes(tenants.handle(), 1, 1);
        if (!result.tenants.empty())
            tenants.check(
                worksheet_autofilter(tenants.handle(), 0, 0, lxw_row_t(r - 1), lxw_col_t(next - 1)));
    } catch (...) {
        lxw_workbook_free(workbook);
        throw;
    }
    if (const lxw_error error = workbook_close(workbook); error != LXW_NO_ERROR)
        fail(path, QString::fromUtf8(lxw_strerror(error)));
    QFile file(scratchFile);
    if (!file.open(QIODevice::ReadOnly))
        fail(path, SafeFile::reasonOf(file));
    QString reason;
    if (!SafeFile::writeReplacing(path, file.readAll(), &reason))
        fail(path, reason);
}

} // namespace Portfolio
