#include "core/model/projecthistory.h"

#include "core/model/planimport.h"
#include "core/model/projectsession.h"
#include "core/plan/planimage.h"

#include <QPainter>

ProjectHistory::ProjectHistory(ProjectSession &session)
    : m_session(session)
{}

ProjectHistory::~ProjectHistory()
{
    if (m_depth > 0)
        m_session.table().setJournal(nullptr);
}

void ProjectHistory::begin(const QString &label)
{
    if (m_depth++ > 0)
        return;
    RecordTable &table = m_session.table();
    // A change nobody recorded moved rows under the steps: they would restore the wrong rows.
    if (table.revision() != m_revision)
        clear();
    m_open = Step{};
    m_open.label = label;
    m_open.flagsBefore = m_session.roomFlags();
    m_open.scalesBefore = m_session.scales();
    m_journal = RecordTable::Journal{};
    table.setJournal(&m_journal);
}

void ProjectHistory::addPlanChange(PlanChange change)
{
    if (m_depth > 0)
        m_open.plans.push_back(std::move(change));
}

void ProjectHistory::end()
{
    if (m_depth == 0 || --m_depth > 0)
        return;
    RecordTable &table = m_session.table();
    table.setJournal(nullptr);
    if (m_journal.replaced) {
        // A whole table read in (an archive, a recovered copy) starts a history of its own.
        clear();
        return;
    }
    Step step = std::move(m_open);
    m_open = Step{};
    step.rowsBefore = m_journal.rowsBefore;
    step.rowsAfter = table.tableRows();
    step.before = std::move(m_journal.before);
    for (const auto &[r, row] : step.before)
        if (r < step.rowsAfter)
            step.after.emplace(r, table.row(r));
    for (int r = step.rowsBefore; r < step.rowsAfter; ++r)
        step.after.emplace(r, table.row(r));
    // Rows written with the texts they had are no change.
    for (auto it = step.before.begin(); it != step.before.end();) {
        const auto after = step.after.find(it->first);
        if (after != step.after.end() && after->second == it->second) {
            step.after.erase(after);
            it = step.before.erase(it);
        } else {
            ++it;
        }
    }
    if (*step.flagsBefore == m_session.roomFlags())
        step.flagsBefore.reset();
    else
        step.flagsAfter = m_session.roomFlags();
    if (*step.scalesBefore == m_session.scales())
        step.scalesBefore.reset();
    else
        step.scalesAfter = m_session.scales();
    m_revision = table.revision();
    if (step.empty() && step.rowsBefore == step.rowsAfter)
        return;
    m_undo.push_back(std::move(step));
    if (m_undo.size() > kMaxSteps)
        m_undo.erase(m_undo.begin());
    m_redo.clear();
    tell();
}

bool ProjectHistory::inStep() const
{
    return m_depth > 0;
}

ProjectHistory::Effect ProjectHistory::undo()
{
    if (inStep() || m_undo.empty())
        return {};
    if (m_session.table().revision() != m_revision) {
        clear();
        return {};
    }
    Effect effect = apply(m_undo.back(), false);
    m_redo.push_back(std::move(m_undo.back()));
    m_undo.pop_back();
    tell();
    return effect;
}

ProjectHistory::Effect ProjectHistory::redo()
{
    if (inStep() || m_redo.empty())
        return {};
    if (m_session.table().revision() != m_revision) {
        clear();
        return {};
    }
    Effect effect = apply(m_redo.back(), true);
    m_undo.push_back(std::move(m_redo.back()));
    m_redo.pop_back();
    tell();
    return effect;
}

void ProjectHistory::clear()
{
    m_undo.clear();
    m_redo.clear();
    m_revision = m_session.table().revision();
    tell();
}

void ProjectHistory::writePlans(const Step &step, bool forward)
{
    // Each plan is read and drawn before any is written, so a plan that cannot be read stops
    // the step before anything changed.
    struct Written
    {
        QString plan;
        QImage image;
    };
    std::vector<Written> written;
    const auto changeAt = [&](size_t i) -> const PlanChange & {
        return step.plans[forward ? i : step.plans.size() - 1 - i];
    };
    for (size_t i = 0; i < step.plans.size(); ++i) {
        const PlanChange &change = changeAt(i);
        QImage image =
            PlanImage::loadBmp(m_session.planPaths().planFilePath(m_session.programDir(), change.plan));
        const auto put = [&image](const PlanPatch &patch, const QImage &pixels) {
            if (patch.rect.isNull()) {
                image = pixels.convertToFormat(QImage::Format_RGB32);
                return;
            }
            QPainter painter(&image);
            painter.setCompositionMode(QPainter::CompositionMode_Source);
            painter.drawImage(patch.rect.topLeft(), pixels);
        };
        if (forward) {
            for (const PlanPatch &patch : change.patches)
                put(patch, patch.after);
        } else {
            for (auto it = change.patches.rbegin(); it != change.patches.rend(); ++it)
                put(*it, it->before);
        }
        written.push_back({change.plan, std::move(image)});
    }
    // A plan the user added from another folder is never written: its working copy is.
    for (const Written &w : written) {
        const QString path = PlanImport::store(m_session, w.image, w.plan);
        if (m_session.currentPlan() == w.plan)
            m_session.showPlanFile(path, w.plan);
    }
}

ProjectHistory::Effect ProjectHistory::apply(const Step &step, bool forward)
{
    Effect effect;
    effect.label = step.label;
    writePlans(step, forward);
    for (const PlanChange &change : step.plans)
        if (!effect.plans.contains(change.plan))
            effect.plans.push_back(change.plan);

    RecordTable &table = m_session.table();
    const auto &rows = forward ? step.after : step.before;
    const int count = forward ? step.rowsAfter : step.rowsBefore;
    if (!rows.empty() || step.rowsBefore != step.rowsAfter) {
        table.setTableRows(count);
        for (const auto &[r, row] : rows)
            if (r < count)
                table.setRow(r, row);
        effect.records = true;
    }
    if (const auto &flags = forward ? step.flagsAfter : step.flagsBefore) {
        m_session.roomFlags() = *flags;
        effect.flags = true;
    }
    if (const auto &scales = forward ? step.scalesAfter : step.scalesBefore) {
        m_session.scales() = *scales;
        effect.scales = true;
    }
    m_session.setModified(true);
    m_revision = table.revision();
    return effect;
}
