#include "cli/clicheck.h"

#include "cli/cliproject.h"
#include "core/base/cp1251.h"
#include "core/base/metrolaerror.h"
#include "core/base/numbertext.h"
#include "core/model/recordtable.h"
#include "core/plan/colourkey.h"
#include "core/plan/floodfill.h"
#include "core/plan/planimage.h"
#include "core/reports/recordrules.h"

#include <QJsonArray>
#include <QSet>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// Characters that survive the description file but not a person reading the grid or a
// spreadsheet: C0 and C1 controls (U+0098 is the code page's unassigned byte carried through).
bool isOdd(QChar c)
{
    const char16_t u = c.unicode();
    return u < 0x20 || (u >= 0x7F && u <= 0x9F) || !Cp1251::canEncode(c);
}

QString oddDescription(const QString &text)
{
    for (QChar c : text) {
        if (isOdd(c))
            return u"U+%1"_s.arg(uint(c.unicode()), 4, 16, QChar(u'0')).toUpper();
    }
    return {};
}

const QString &columnName(int column)
{
    return RecordTable::headerTexts()[static_cast<size_t>(column)];
}

} // namespace

void ProjectCheck::add(int row, const QString &kind, const QString &message)
{
    problems.push_back({row, kind, message, {}});
}

ProjectCheck ProjectCheck::of(CliProject &project)
{
    ProjectCheck check;
    if (!project.openError().isEmpty())
        check.add(0, u"open"_s, u"Ошибка при открытии: %1"_s.arg(project.openError()));
    check.checkRecords(project);
    check.checkPlanFiles(project);
    check.checkLabelPoints(project);
    std::stable_sort(check.problems.begin(), check.problems.end(),
                     [](const Problem &a, const Problem &b) { return a.row < b.row; });
    return check;
}

void ProjectCheck::checkRecords(const CliProject &project)
{
    const ProjectSession &session = project.session();
    const RecordTable &table = session.table();

    for (int i = 0; i < Captions::Count; ++i) {
        const QString odd = oddDescription(session.captions()[i]);
        if (!odd.isEmpty())
            add(0, u"chars"_s, u"Подпись %1 содержит недопустимый символ %2."_s.arg(QString::number(i + 1), odd));
    }

    const auto checkChars = [&](int r) {
        const RecordTable::Row &row = table.row(r);
        for (int c = 0; c < RecordTable::ColumnCount; ++c) {
            const QString odd = oddDescription(row[static_cast<size_t>(c)]);
            if (!odd.isEmpty())
                add(r, u"chars"_s, u"Строка %1: поле «%2» содержит недопустимый символ %3."_s
                                       .arg(QString::number(r), columnName(c), odd));
        }
    };

    // The record rules the summary window shows too; the plan and label rules are the batch
    // tool's own, reported between them in this order.
    RecordRules rules(table.recordCount());
    const auto addRule = [this](std::optional<RecordRules::Problem> problem) {
        if (problem)
            add(problem->row, problem->kind, problem->message);
    };
    for (int r = 1; r <= table.recordCount(); ++r) {
        const RecordTable::Row &row = table.row(r);
        checkChars(r);
        if (row[RecordTable::PlanId].isEmpty())
            add(r, u"plan"_s, u"Строка %1: план не указан, запись не относится ни к одному плану."_s.arg(r));
        addRule(rules.key(r, row[RecordTable::ColourKey]));
        for (int c : {int(RecordTable::LabelX), int(RecordTable::LabelY)}) {
            if (!parseCellNumber(row[static_cast<size_t>(c)]))
                add(r, u"label"_s, u"Строка %1: координата «%2» = «%3» не число."_s
                                       .arg(QString::number(r), columnName(c), row[static_cast<size_t>(c)]));
        }
        const QString &area = row[RecordTable::Area];
        addRule(RecordRules::type(r, row[RecordTable::Type]));
        addRule(RecordRules::area(r, area, NumberText::area(area).has_value()));
    }
    for (const RecordRules::Problem &problem : RecordRules::commonAreas(table, session.roomFlags()))
        add(problem.row, problem.kind, problem.message);
    // The EntryRow is no record, but its dates and marker travel with the file as well.
    checkChars(table.entryRow());
}

void ProjectCheck::checkPlanFiles(const CliProject &project)
{
    const ProjectSession &session = project.session();
    const RecordTable &table = session.table();
    const QStringList named = session.plans().names();
    const QSet<QString> members(project.members().begin(), project.members().end());

    for (const QString &plan : named) {
        if (members.contains(plan))
            continue;
        int row = 0;
        for (int r = 1; r <= table.recordCount() && row == 0; ++r) {
            if (table.cellText(RecordTable::PlanId, r) == plan)
                row = r;
        }
        add(row, u"plan-missing"_s,
            u"Строка %1: плана «%2» нет в архиве."_s.arg(QString::number(row), plan));
    }
    for (const QString &member : project.members()) {
        if (member.endsWith(u".bmp"_s, Qt::CaseInsensitive) && !named.contains(member))
            add(0, u"plan-unused"_s,
                u"План «%1» есть в архиве, но ни одна запись его не называет."_s.arg(member));
    }
}

void ProjectCheck::checkLabelPoints(CliProject &project)
{
    ProjectSession &session = project.session();
    const RecordTable &table = session.table();
    for (const QString &plan : session.plans().names()) {
        if (!session.extractedFiles.contains(plan))
            continue;
        // Opening painted the first plan already.
        const bool painted = project.isPaintedPlan(plan);
        try {
            if (!painted)
                session.showPlanFile(session.programDir() + plan, plan);
        } catch (const MetrolaError &error) {
            add(0, u"plan-unreadable"_s, u"План «%1» не читается: %2"_s.arg(plan, error.message()));
            continue;
        }

        struct Label
        {
            int row;
            QPoint point;
            quint32 key;
            bool onWall = false;
        };
        std::vector<Label> labels;
        std::vector<RoomSeed> rooms;
        bool complete = true;
        for (int r = 1; r <= table.recordCount(); ++r) {
            if (table.cellText(RecordTable::PlanId, r) != plan)
                continue;
            const auto key = parseCellNumber(table.cellText(RecordTable::ColourKey, r));
            const auto x = parseCellNumber(table.cellText(RecordTable::LabelX, r));
            const auto y = parseCellNumber(table.cellText(RecordTable::LabelY, r));
            if (!key || !x || !y) {
                complete = false;
                continue;
            }
            // Reported as a key problem; the repaint leaves such a record's room alone.
            if (ColourKey::isReserved(*key))
                continue;
            const auto k = static_cast<quint32>(*key);
            labels.push_back({r, QPoint(*x, *y), k});
            rooms.push_back({QPoint(*x, *y), k});
        }
        // A fill seeded on a wall floods the whole wall network and leaves it wearing the key,
        // so this can only be seen on the plan as drawn; the plan opening painted is read again.
        QImage drawn = session.planImage();
        if (painted && !labels.empty()) {
            try {
                drawn = PlanImage::loadBmp(session.programDir() + plan);
            } catch (const MetrolaError &) {
                drawn = QImage();
            }
        }
        for (Label &label : labels) {
            label.onWall = drawn.rect().contains(label.point)
                && (ColourKey::fromRgb(drawn.pixel(label.point)) & ColourKey::kRgbMask) == 0;
        }
        // The GUI stops at the first unreadable record; the rest are still worth checking,
        // so an incomplete plan is painted from the readable records only.
        if (!painted && complete) {
            session.repaintPlanRooms();
        } else if (!painted) {
            FloodFill fill;
            fill.repaintRooms(session.planImage(), rooms);
        }

        const QImage &image = session.planImage();
        for (const Label &label : labels) {
            if (!image.rect().contains(label.point)) {
                add(label.row, u"label-outside"_s,
                    u"Строка %1: точка подписи (%2, %3) вне плана «%4» (%5×%6)."_s.arg(
                        QString::number(label.row), QString::number(label.point.x()),
                        QString::number(label.point.y()), plan, QString::number(image.width()),
                        QString::number(image.height())));
                continue;
            }
            if (label.onWall) {
                add(label.row, u"label-on-wall"_s,
                    u"Строка %1: точка подписи (%2, %3) на плане «%4» стоит на стене."_s.arg(
                        QString::number(label.row), QString::number(label.point.x()),
                        QString::number(label.point.y()), plan));
                continue;
            }
            const quint32 found = ColourKey::fromRgb(image.pixel(label.point)) & ColourKey::kRgbMask;
            if (found != (label.key & ColourKey::kRgbMask))
                add(label.row, u"label-covered"_s,
                    u"Строка %1: точка подписи (%2, %3) на плане «%4» закрашена цветом %5, а не ключом %6."_s
                        .arg(QString::number(label.row), QString::number(label.point.x()),
                             QString::number(label.point.y()), plan, QString::number(found),
                             QString::number(label.key)));
        }
    }
}

QString ProjectCheck::text() const
{
    QString t;
    for (const Problem &p : problems)
        t += p.message + u'\n';
    if (problems.empty())
        t += u"Ошибок не найдено.\n"_s;
    return t;
}

QJsonObject ProjectCheck::json() const
{
    QJsonArray list;
    for (const Problem &p : problems) {
        QJsonObject object = p.details;
        object.insert(u"row"_s, p.row);
        object.insert(u"kind"_s, p.kind);
        object.insert(u"message"_s, p.message);
        list.append(object);
    }
    return QJsonObject{{u"problems"_s, list}};
}
