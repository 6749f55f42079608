#pragma once

class ProjectSession;
class QColorDialog;
class QRect;
class QString;

// What the record dialog needs of the window it belongs to, and nothing more: the project it
// edits, the colour dialog it shares with the window's own colour choice (so both start from
// the colour chosen last), a redraw of the part of the plan a fill changed, the report of an
// error that stopped one of its handlers, and the news that a room's flags changed.
class RecordDialogHost
{
public:
    virtual ProjectSession &session() = 0;
    virtual QColorDialog *colourDialog() = 0;
    virtual void refreshPlanRect(const QRect &planRect) = 0;
    virtual void showGeneralError(const QString &text) = 0;
    // The dialog set or cleared a room's common-area flag (the records may be unchanged).
    virtual void roomFlagsEdited() {}
    // The user asked for the leases of the room of record `row`.
    virtual void showLeasesOfRow(int row) { (void)row; }

protected:
    ~RecordDialogHost() = default;
};
