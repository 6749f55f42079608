#pragma once

#include "core/base/metrolaerror.h"
#include "core/model/planedits.h"
#include "core/model/projectsession.h"
#include "core/model/recentarchives.h"
#include "core/plan/displaycolours.h"
#include "core/reports/plancolouring.h"
#include "core/rooms/roomproposals.h"
#include "gui/records/recorddialoghost.h"
#include "gui/widgets/guarded.h"

#include <QDate>
#include <QMainWindow>

#include <array>
#include <memory>
#include <optional>

class ColourSwatch;
class Form2;
class LeasesWindow;
class PieGauge;
class PlanCanvas;
class PlanLegend;
class QCheckBox;
class QColorDialog;
class QComboBox;
class QFileDialog;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;
class QSplitter;
class QTabBar;
class QTableView;
class QTimer;
class QWheelEvent;
class QToolButton;
class StackingWindow;
class SummaryWindow;
class ScaleTool;
class RecoveryWriter;
class AreaCheckRunner;
class QAction;
class QActionGroup;
class QMenu;
class QSettings;
class RecordView;
class DragBar;
class HelpWindow;
class ProposalView;

// The main window. Its code is split by feature, all in this folder: form1.cpp runs start-up
// and shutdown, form1_layout.cpp builds the controls, and each form1_<feature>.cpp holds the
// handlers of one feature (archive, plan, view, scale, hover, records, reports, summary,
// recovery). It is the record dialog's host, the one thing the dialog knows of it. Controls keep
// the names of the window layout as members and object names.
class Form1 : public QMainWindow, public RecordDialogHost
{
    Q_OBJECT

public:
    static QString applicationTitle();
    static QString windowCaption();

    // programDir ends with "/". The record dialog is created here, hidden.
    explicit Form1(const QString &programDir, QWidget *parent = nullptr);
    ~Form1() override;

    ProjectSession &session() override { return m_session; }
    QColorDialog *colourDialog() override { return ColorDialog1; }
    Form2 *form2() const { return m_form2; }

    // Start-up: header, command line and the archive it names. Runs before the first show.
    void FormCreate(const QStringList &arguments, const QString &currentDir);

    // Window placement around a plan of the given size on a screen of the given size, in outer
    // window pixels. The new-plan command fits only the vertical part.
    static QRect placeWindow(QSize screen, QSize image, QRect window, bool verticallyOnly);
    void PlaceMainWindow(bool verticallyOnly = false);

    // The general error handler: the text with "." appended by its rule, the application
    // title, a stop icon and OK.
    void showGeneralError(const QString &text) override;
    static QString generalErrorText(const QString &text);

    // Runs a handler body; an error escaping it is shown by the general error handler.
    template<typename Body>
    void guard(Body &&body)
    {
        runGuarded(body, [this](const QString &text) { showGeneralError(text); });
    }

    // Shows the plan image anew after the session's image or plan changed.
    void refreshPlanView();
    // Shows part of the plan anew after a fill.
    void refreshPlanRect(const QRect &planRect) override;
    // The record dialog or the summary changed which rooms are common (form1_summary.cpp).
    void roomFlagsEdited() override;
    void showLeasesOfRow(int row) override;
    // Repaints the rooms of the plan shown from the table and shows them, also when a record
    // that could not be painted is reported.
    void repaintRooms();
    // Rebuilds the display colours and the legend of the plan colouring from the records.
    void refreshColouring();
    PlanView planView() const { return m_view; }
    QDate asOfDay() const { return m_asOf.isValid() ? m_asOf : QDate::currentDate(); }
    const DisplayColours &displayColours() const { return m_displayColours; }
    // Rebuilds the tab strip from the PlanList, the shown plan's tab selected. Every change of
    // the PlanList is followed by it.
    void fillTabs();
    // Selects the tab of the plan shown; every change of the shown plan is followed by it.
    void selectShownPlanTab();
    // The dialog's caption texts follow edt1..edt10.
    void refreshDialogCaptions();
    // The grid's top selected row as a table row, 0 when none (the grid may show the records
    // filtered or sorted; the handlers work on the table's own rows).
    int selectedRow() const;
    void selectRow(int row);
    RecordView &recordView() { return *m_recordView; }

    // Controls (names of the window layout).
    QFrame *Panel1 = nullptr;
    QFrame *Panel2 = nullptr;
    std::array<QFrame *, 5> Bevels{}; // Bevel1 .. Bevel5
    QToolButton *SpeedButton3 = nullptr;
    QToolButton *SpeedButton2 = nullptr;
    ColourSwatch *Shape1 = nullptr;
    QPushButton *Button1 = nullptr;
    QPushButton *Button2 = nullptr;
    ColourSwatch *Shape2 = nullptr;
    QToolButton *SpeedButton1 = nullptr;
    QLabel *Label1 = nullptr;
    QPushButton *Button4 = nullptr;
    PieGauge *Gauge1 = nullptr;
    QToolButton *SpeedButton4 = nullptr;
    QToolButton *SpeedButton5 = nullptr;
    QTableView *StringGrid1 = nullptr;
    QToolButton *BitBtn1 = nullptr;
    QToolButton *BitBtn2 = nullptr;
    QCheckBox *Arend = nullptr;
    QCheckBox *kvm = nullptr;
    QCheckBox *nazv = nullptr;
    QCheckBox *Typ = nullptr;
    std::array<QLineEdit *, 10> edt{}; // edt1 .. edt10
    QGroupBox *rg1 = nullptr;
    QLabel *lbl1 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label3 = nullptr;
    QLabel *Label4 = nullptr;
    QWidget *PlanArea = nullptr; // the client area below the tool panel that Image1 scrolls in
    PlanCanvas *Image1 = nullptr;
    QLabel *Hinter = nullptr;
    QLabel *opter = nullptr;
    QLabel *Image2 = nullptr;
    QTabBar *TabSet1 = nullptr;
    QSplitter *Splitter1 = nullptr;
    QScrollBar *HorzScrollBar = nullptr;
    QScrollBar *VertScrollBar = nullptr;
    QTimer *Timer1 = nullptr;
    QFileDialog *OpenPictureDialog1 = nullptr;
    QFileDialog *OpenDialog1 = nullptr;
    QFileDialog *SaveDialog1 = nullptr;
    QColorDialog *ColorDialog1 = nullptr;
    // Plan colouring: the view selector in the bottom strip and the legend over the plan.
    QComboBox *ViewMode = nullptr;
    // The zoom in percent, beside the selector.
    QLabel *ZoomLabel = nullptr;
    PlanLegend *Legend = nullptr;
    // The summary: its button on the tool panel and the window, made when first opened.
    QToolButton *SummaryButton = nullptr;
    SummaryWindow *Summary = nullptr;
    LeasesWindow *Leases = nullptr;
    // The scale command: its button on the tool panel and the two clicks on the plan.
    QToolButton *ScaleButton = nullptr;
    ScaleTool *Scaler = nullptr;
    // The menu bar's commands, each calling the handler of its tool-panel control.
    QAction *OpenAction = nullptr;
    QMenu *RecentMenu = nullptr;
    QAction *SaveAction = nullptr;
    QAction *SaveAsAction = nullptr;
    QAction *NewPlanAction = nullptr;
    QAction *QuitAction = nullptr;
    QAction *UndoAction = nullptr;
    QAction *FindAction = nullptr;
    QActionGroup *ViewActions = nullptr;
    QAction *ZoomInAction = nullptr;
    QAction *ZoomOutAction = nullptr;
    QAction *ZoomActualAction = nullptr;
    QAction *ZoomFitAction = nullptr;
    QAction *SummaryAction = nullptr;
    QAction *StackingAction = nullptr;
    QAction *LeasesAction = nullptr;
    QAction *PdfAction = nullptr;
    QAction *ScheduleAction = nullptr;
    QAction *PictureAction = nullptr;
    QAction *HelpAction = nullptr;
    QAction *AboutAction = nullptr;
    // The grid's search: the field in the menu bar's corner and its count of matches.
    QLineEdit *SearchField = nullptr;
    QLabel *SearchCount = nullptr;
    // Drags the bottom edge of the tool panel, making the grid taller.
    DragBar *GridSplitter = nullptr;
    // Plan preparation: its button on the tool panel, and the plan as it was before the last
    // preparation, kept until the next save.
    QPushButton *PrepareButton = nullptr;
    struct PreparedUndo
    {
        QString plan;
        QImage before;
        QString addedFrom; // the file the user added it from; empty when in the working folder
    };
    std::optional<PreparedUndo> m_preparedUndo;
    // Real plans (form1_rooms.cpp): the proposed rooms and closing lines of the plan shown, the
    // wall tool's two clicks, and the bar over the plan while proposals are shown.
    QPushButton *FindRoomsButton = nullptr;
    QPushButton *WallButton = nullptr;
    ScaleTool *Waller = nullptr;
    QFrame *ProposalBar = nullptr;
    QLabel *ProposalText = nullptr;
    QPushButton *AcceptAllButton = nullptr;
    QPushButton *UndoPlanButton = nullptr;
    QPushButton *CloseProposalsButton = nullptr;
    QAction *PrepareAction = nullptr;
    QAction *FindRoomsAction = nullptr;
    QAction *WallAction = nullptr;
    QAction *UndoPlanAction = nullptr;

    // Blink state: the row to blink and the step counter (1 while idle), and the rows whose
    // rooms blink with it (the rooms of a block of the stacking plan).
    int BlinkRow = 0;
    int BlinkCount = 1;
    QList<int> BlinkAlso;
    // The stacking plan, made when first opened.
    StackingWindow *Stacking = nullptr;

public Q_SLOTS:
    // Archive (form1_archive.cpp)
    void SpeedButton2Click();
    void SpeedButton3Click();
    void ZipperTotalPercentDone(int percent);
    void UnzipperTotalPercentDone(int percent);
    // Plan view and marking (form1_plan.cpp)
    void TabSet1Change(int index);
    void HorzScrollBarChange(int position);
    void VertScrollBarChange(int position);
    void SpeedButton1Click();
    void Button4Click();
    void Image1MouseUp(Qt::MouseButton button, int x, int y);
    // Plan colouring (form1_view.cpp)
    void ViewModeChange(int index);
    // Scale of the plan shown (form1_scale.cpp)
    void ScaleButtonClick();
    // Hover, blink, undo, colour change (form1_hover.cpp)
    void Image1MouseDown(Qt::MouseButton button, int x, int y);
    void Image1MouseMove(int x, int y);
    void Image1DblClick();
    void Timer1Timer();
    void Button2Click();
    void Button1Click();
    // Record list (form1_records.cpp)
    void StringGrid1DblClick();
    void BitBtn1Click();
    void BitBtn2Click();
    // Reports (form1_reports.cpp)
    void Button7Click();
    void SpeedButton5Click();
    // Summary (form1_summary.cpp)
    void SummaryButtonClick();
    // Leases (form1_leases.cpp): the "Договоры" window for the whole complex, or for the rooms
    // of the record rows given.
    void showLeases();
    void showLeasesOf(const QList<int> &rows);
    void leasesEdited();
    // Stacking plan and the plans as PDF (form1_stacking.cpp)
    void showStackingPlan();
    void printPlansPdf();
    // Shows the plan with the rooms of these records blinking, the first one scrolled into view.
    void showRooms(const QString &plan, const QList<int> &rows);
    // Files (form1_files.cpp): a plain save to the archive opened or saved last, asking for a
    // name only when there is none; the save dialog's save; an archive of the recent list.
    void SaveClick();
    void SaveAsClick();
    void openRecent(const QString &path);
    // Zoom (form1_zoom.cpp): factors from fit-to-window to 800 %, about the view's centre.
    void zoomIn();
    void zoomOut();
    void zoomActual();
    void zoomFit();
    // Search (form1_search.cpp)
    void SearchFieldChange(const QString &text);
    void SearchFieldEnter();
    // Help (form1_menus.cpp)
    void HelpClick();
    void AboutClick();
    void PrepareButtonClick();
    // Real plans (form1_rooms.cpp)
    void FindRoomsClick();
    void WallButtonClick();
    void acceptAllProposals();
    void closeProposals();
    // Takes back the latest line or rooms accepted on a plan.
    void undoPlanEdit();

Q_SIGNALS:
    // A lease was added, changed or removed, or the day they are read on changed.
    void leasesChanged();
    // A plan's scale or the tolerance changed.
    void scalesChanged();
    // A room was flagged as a common area or its flag cleared.
    void roomFlagsChanged();

public:
    enum class OpenForm { Dialog, StartUp };
    // The opening sequence shared by the open button and start-up. Returns false when it
    // stopped with one of its messages or an error.
    bool openProjectArchive(const QString &path, OpenForm form);
    // Asks to enter a record left typed in the dialog, then to save unsaved changes; false when
    // the user cancelled (or the commit or the save failed).
    bool confirmDiscardChanges();
    // Recovery of unsaved work (form1_recovery.cpp). At start-up: asks about a copy an earlier
    // run left and puts it in place; true when it did.
    bool offerRecovery();
    RecoveryWriter &recovery() { return *m_recovery; }
    // The area check of the summary and the Расхождения colouring; measures plans in the
    // background.
    AreaCheckRunner &areaChecks() { return *m_areaChecks; }
    void applyFinishedLock();

    // The plan's zoom factor; the plan point at the anchor (in plan-area pixels) stays put.
    void setZoom(double factor, QPoint anchor);
    void setZoom(double factor);
    double zoomFactor() const;
    // The smallest zoom: the plan fits the plan area (100 % when it fits already).
    double minimumZoom() const;
    // Opens dropped archives and adds dropped images as plans (form1_files.cpp).
    void openDroppedFiles(const QStringList &paths);
    // The grid's height above its specified one, in pixels.
    int gridExtra() const { return m_gridExtra; }
    void setGridExtra(int pixels);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void changeEvent(QEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void showEvent(QShowEvent *event) override;
    // The mouse wheel over the plan scrolls it, with Shift sideways.
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildWindow();
    void layoutPlanArea();
    // Brings the window forward and scrolls the plan so that the plan point is well inside
    // the plan area, for a room about to blink.
    void showPlanPoint(QPoint planPoint);
    void buildViewSelector(QWidget *bottomStrip);
    void buildSummaryButton();
    void buildPrepareButton();
    // Adds a PNG, JPEG, TIFF or PDF plan as a BMP in the working folder.
    void addConvertedPlan(const QString &path);
    // Asks the name of a plan in the working folder in place of `name`; false when the user
    // gives none or one with folders (said).
    bool askOtherPlanName(QString &name);
    // Offers the preparation of the plan shown when it has more than two colours.
    void offerPreparation();
    // Prepares the plan shown as stored (without room colours); true when it was replaced.
    bool preparePlanShown(const QString &reason);
    void buildRoomTools();
    // The right-click's marking: fills the unmarked room at the point with a new key and
    // opens the record dialog for it. Returns the key.
    quint32 markNewRoom(QPoint point);
    bool refusedWhenFinished();
    void proposedRoomClicked(int room, bool reject);
    void proposedLineClicked(int line, bool reject);
    void wallDrawn(QPoint from, QPoint to);
    // Lines drawn into the plan shown as one step that can be taken back.
    void drawPlanLines(const std::vector<ClosingLine> &lines, const QString &label);
    void refreshProposalBar();
    void refreshPlanUndo();
    // Another project or plan: the proposals and the wall tool belong to the one left.
    void endPlanTools();
    // Places the selector at the strip's right end; returns the width left for the tabs.
    int layoutViewSelector(int stripWidth, int stripHeight);
    void buildScaleButton();
    void refreshScaleHint();
    void scaleMeasured(QPoint from, QPoint to);
    // A scale or the tolerance was changed outside the Масштаб command.
    void scalesEditedElsewhere();
    void measureScaleOf(const QString &plan);
    void FormResize();
    void FormClose();
    void setupRecovery();
    void endRecovery();
    int px(int designPixels) const;
    bool scrollPlanByWheel(QWheelEvent &wheel);
    void placeAgainWhenFramed();
    // One step of the blink for the rooms of BlinkAlso on the plan shown; rooms whose record
    // changed plan or cannot be read are left alone.
    void blinkAlsoStep();
    void buildMenus();
    void buildSearch();
    void buildGridSplitter();
    void refreshViewActions();
    void refreshTitle();
    void refreshRecentMenu();
    void rememberArchive(const QString &path);
    void forgetArchive(const QString &path);
    // The save sequence into the given archive, or into one chosen in SaveDialog1 when empty.
    void saveProject(QString path);
    // Adds a plan file as "Новый План" does after its dialog.
    void addPlanFile(const QString &path);
    void refreshRowMoves();
    int gridExtraRoom() const;
    bool zoomByWheel(QWheelEvent &wheel);
    void applyZoom(double factor);
    void stepZoom(int steps, QPoint anchor);
    QPoint planAreaCentre() const;
    static QSettings settings();

    ProjectSession m_session;
    // Declared after the session, so it goes first and never outlives what it copies.
    std::unique_ptr<RecoveryWriter> m_recovery;
    std::unique_ptr<AreaCheckRunner> m_areaChecks;
    Form2 *m_form2 = nullptr;
    double m_scale = 1.0;
    PlanView m_view = PlanView::Keys;
    // The day the lease figures are read on: the summary's "На дату", today when not set.
    QDate m_asOf;
    // The records as of m_asOf when it is set and the project has leases: what the colourings
    // by tenant and vacancy show then.
    RecordTable m_asOfTable;
    const RecordTable &tableAsOf();
    DisplayColours m_displayColours;
    QString m_scalePlan;
    bool m_closing = false;
    // Set while the window waits for its frame to be placed again (the argument of the
    // placement).
    std::optional<bool> m_placeWhenFramed;
    // Wheel turns too small to scroll a pixel yet, per direction.
    QPoint m_wheelRest;
    bool m_recoveryFailureShown = false;
    RecordView *m_recordView = nullptr;
    HelpWindow *m_help = nullptr;
    RecentArchives m_recent;
    int m_gridExtra = 0;
    // Ctrl+wheel turns too small to make a zoom step yet.
    int m_zoomRest = 0;
    // The plan point a run of zoom steps keeps under the pointer, while the pointer stays and
    // nothing else scrolls: a step that could not scroll far enough (the plan narrower than
    // the view) must not shift the point for the steps after it.
    struct ZoomAnchor
    {
        QPoint view;
        QPointF plan;
    };
    std::optional<ZoomAnchor> m_zoomAnchor;
    bool m_zooming = false;
    std::unique_ptr<RoomProposals> m_proposals;
    ProposalView *m_proposalView = nullptr;
    PlanEdits m_planEdits;
    int m_wallWidth = 1;
    // The files of the drag over the window, as it entered.
    QStringList m_draggedFiles;
};
