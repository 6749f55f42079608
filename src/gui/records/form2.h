#pragma once

#include "core/model/captions.h"
#include "core/model/recordtable.h"
#include "gui/records/recorddialoghost.h"
#include "gui/widgets/guarded.h"

#include <QDialog>
#include <QPoint>

#include <array>
#include <optional>

class ColourSwatch;
class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QToolButton;

// The record entry and edit dialog: modeless, above the main window, without a close button.
//
// The dialog lives beside the main window while the user goes on working there (undo, row
// moves, opening another project), so it keeps what it was opened for in typed members and
// finds its record again by the colour key it was opened with when it commits.
class Form2 : public QDialog
{
    Q_OBJECT

public:
    enum class Mode { New, Edit };

    // `parent` keeps the dialog above itself; `host` gives it the project and the rest it
    // needs, and must outlive it.
    Form2(QWidget *parent, RecordDialogHost &host);

    // The field labels, the type group and its items follow the main window's captions;
    // replacing the items leaves no type selected.
    void setCaptions(const Captions &captions);

    // A room just filled with `colour` from `labelPoint` becomes the record of `row` (the
    // EntryRow) on plan `planId`. The four entry fields keep what was typed last; no type is
    // selected. Shows the dialog.
    void openNew(quint32 colour, QPoint labelPoint, int row, const QString &planId);
    // Opens record `row` of the table for editing; `candidatePoint` is where a label move
    // would put its label. Shows the dialog.
    void openEdit(int row, QPoint candidatePoint);

    // Before another project replaces the table: a room marked for a new record is painted
    // back, then the dialog hides.
    void abandon();
    // A finished project keeps its areas and names.
    void setFinishedLock(bool locked);

    Mode mode() const { return m_mode; }
    int row() const { return m_row; }
    const QString &planId() const { return m_planId; }
    QPoint labelPoint() const { return m_labelPoint; }
    QPoint candidatePoint() const { return m_candidatePoint; }
    quint32 openedColour() const { return m_openedColour; }

    // Whether closing now would lose what the commit would write: in new-record mode any text
    // or type in the fields (the room waits for them), in edit mode a field, the type or the
    // colour that differs from the record.
    bool holdsUncommittedText() const;

    // The nine cells as the commit writes them; the type cell keeps `currentType` when no
    // type is selected.
    RecordTable::Row recordTexts(const QString &currentType) const;

    // Controls (names of the window layout).
    QLabel *Label9 = nullptr; // plan id
    ColourSwatch *Shape1 = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label8 = nullptr; // row number
    QLabel *Label2 = nullptr; // colour key (hidden)
    QLabel *newX = nullptr;   // candidate point (hidden)
    QLabel *NewY = nullptr;
    QLabel *Led = nullptr;    // mode
    QLabel *Label6 = nullptr; // label point (hidden)
    QLabel *Label7 = nullptr;
    QLabel *Label3 = nullptr;
    QLineEdit *Edit1 = nullptr; // tenant
    QLabel *Label4 = nullptr;
    QLineEdit *Edit2 = nullptr; // area
    QLabel *Label10 = nullptr;
    QLabel *Label11 = nullptr;
    QLineEdit *Edit4 = nullptr; // room name
    QLabel *Label5 = nullptr;
    QLineEdit *Edit3 = nullptr; // additional information
    QGroupBox *RadioGroup1 = nullptr;
    std::array<QRadioButton *, 5> RadioItems{};
    QButtonGroup *RadioButtons = nullptr;
    QPushButton *Button1 = nullptr;    // cancel, new-record mode
    QToolButton *SpeedButton1 = nullptr; // label move, edit mode
    QToolButton *LeasesButton = nullptr; // the room's leases, edit mode
    QPushButton *Button2 = nullptr;    // full commit
    // Not of the window layout: in the free space below the type group, so no control moves.
    QCheckBox *CommonArea = nullptr; // the room is a place of common use

public Q_SLOTS:
    void Button2Click();
    void Button1Click();
    void SpeedButton1Click();
    void Shape1MouseUp();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void build();
    int px(int designPixels) const;
    void setMode(Mode mode);
    void setLabelPoint(QPoint point);
    void setCandidatePoint(QPoint point);
    void setSelectedType(int index);
    void updateTypeTabStop();
    int selectedType() const;
    void commit(const std::optional<QString> &date);
    // Writes the check box into the flags of `key`, moving a flag of `previousKey` along.
    void commitCommonFlag(quint32 previousKey, quint32 key);
    void paintBack();
    void closeDialog();
    // Shows, raises and activates the dialog, the keyboard in `focus` when one is given.
    void present(QWidget *focus);
    template<typename Body>
    void guard(Body &&body)
    {
        runGuarded(body, [this](const QString &text) { m_host.showGeneralError(text); });
    }

    RecordDialogHost &m_host;
    double m_scale = 1.0;
    bool m_shownBefore = false;
    Mode m_mode = Mode::New;
    int m_row = 0;
    QString m_planId;
    QPoint m_labelPoint;
    QPoint m_candidatePoint;
    quint32 m_openedColour = 0;
};
