#include "core/model/planedits.h"

#include "core/base/metrolaerror.h"
#include "core/model/planimport.h"
#include "core/model/projectsession.h"
#include "core/plan/planimage.h"

#include <QPainter>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

QString planFile(const ProjectSession &session, const QString &plan)
{
    return session.planPaths().planFilePath(session.programDir(), plan);
}

} // namespace

void PlanEdits::drawLines(ProjectSession &session, std::span<const ClosingLine> lines, const QString &label)
{
    Step step{session.currentPlan(), label, {}, {}};
    if (!lines.empty()) {
        QImage stored = PlanImage::loadBmp(planFile(session, step.plan));
        for (const ClosingLine &line : lines) {
            const QRect box = line.bounds().intersected(stored.rect());
            step.before.emplace_back(box, stored.copy(box));
        }
        // Drawn in one go after all patches are taken: a patch restores what lay under its
        // line before any line of the step, so taking the step back in reverse is exact.
        ClosingLine::draw(stored, lines);
        const QString path = PlanImport::store(session, stored, step.plan);
        session.showPlanFile(path, step.plan);
        session.setModified(true);
    }
    m_steps.push_back(std::move(step));
}

void PlanEdits::addKeys(std::span<const quint32> keys)
{
    if (!m_steps.empty())
        m_steps.back().keys.insert(m_steps.back().keys.end(), keys.begin(), keys.end());
}

void PlanEdits::dropLatestIfEmpty()
{
    if (!m_steps.empty() && m_steps.back().before.empty() && m_steps.back().keys.empty())
        m_steps.pop_back();
}

void PlanEdits::undo(ProjectSession &session)
{
    if (m_steps.empty())
        return;
    const Step &step = m_steps.back();
    RecordTable &table = session.table();
    std::vector<quint32> present;
    for (const quint32 key : step.keys)
        if (table.colourInUse(key))
            present.push_back(key);
    const int count = int(present.size());
    for (int i = 0; i < count; ++i) {
        const int row = table.recordCount() - i;
        const auto key = row >= 1 ? parseCellNumber(table.cellText(RecordTable::ColourKey, row)) : std::nullopt;
        if (!key || std::find(present.begin(), present.end(), quint32(*key)) == present.end())
            throw MetrolaError(
                u"Шаг «%1» нельзя отменить: после него в список добавлены или передвинуты другие записи. "
                u"Удалите сначала их"_s.arg(step.label));
    }
    if (!step.before.empty()) {
        QImage stored = PlanImage::loadBmp(planFile(session, step.plan));
        QPainter painter(&stored);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        for (auto it = step.before.rbegin(); it != step.before.rend(); ++it)
            painter.drawImage(it->first.topLeft(), it->second);
        painter.end();
        const QString path = PlanImport::store(session, stored, step.plan);
        if (session.currentPlan() == step.plan)
            session.showPlanFile(path, step.plan);
    }
    for (int i = 0; i < count; ++i)
        table.removeLastRecord();
    session.setModified(true);
    m_steps.pop_back();
}
