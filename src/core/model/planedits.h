#pragma once

#include "core/rooms/closingline.h"

#include <QImage>
#include <QRect>
#include <QString>

#include <span>
#include <utility>
#include <vector>

class ProjectSession;

// Closing lines drawn into plans (the wall tool, accepted room proposals) and the records
// accepted with them, kept as steps the user takes back one at a time, the latest first.
// A line becomes part of the plan's bitmap: it is drawn into the working folder's copy of the
// plan (a BMP the user added from disk is never written) and saved with the archive.
class PlanEdits
{
public:
    struct Step
    {
        QString plan;
        // What the step did, for the undo command: "стена", "3 помещения".
        QString label;
        // The plan file's pixels under the lines before they were drawn, in drawing order.
        std::vector<std::pair<QRect, QImage>> before;
        // The records added with the step.
        std::vector<quint32> keys;
    };

    // Draws the lines into the plan shown and its file as a new step, and shows the plan from
    // that file again (the caller paints the rooms again). No lines make a step with nothing
    // to restore, for records accepted without any. Throws MetrolaError when the plan cannot be
    // read or written; then nothing changed.
    void drawLines(ProjectSession &session, std::span<const ClosingLine> lines, const QString &label);
    // The records of the latest step.
    void addKeys(std::span<const quint32> keys);
    // The latest step forgets it had no effect (a room not accepted after all). Its lines stay
    // when it drew any: undo takes them back.
    void dropLatestIfEmpty();

    bool canUndo() const { return !m_steps.empty(); }
    const Step &latest() const { return m_steps.back(); }
    // Takes the latest step back: its records (those still there) must be the table's last
    // ones, else MetrolaError says so and nothing changes. The plan's file gets its pixels back;
    // when the plan is shown it is loaded again (the caller paints the rooms again).
    void undo(ProjectSession &session);
    void clear() { m_steps.clear(); }

private:
    std::vector<Step> m_steps;
};
