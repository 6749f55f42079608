#pragma once

#include "core/rooms/planpreparation.h"

#include <QDialog>
#include <QImage>

#include <memory>
#include <optional>

class QCheckBox;
class QLabel;
class QPushButton;
class QSlider;
class QSpinBox;
class QTimer;

// Before and after of a plan's preparation, side by side, with the threshold and the options;
// it starts at the automatic choices. "Подготовить" gives the prepared plan, "Оставить как
// есть" nothing. The window asks it through Dialogs::preparePlan, so tests answer instead.
class PlanPreparationDialog : public QDialog
{
    Q_OBJECT

public:
    // `reason` is shown above the pictures (why the dialog is offered); empty for none.
    PlanPreparationDialog(const QImage &source, const QString &reason, QWidget *parent = nullptr);
    // The plan's lines and walls read (OpenCV's lack of memory as MetrolaError); slow on a
    // large scan, so callers run it off the window's thread.
    static std::shared_ptr<PlanPreparation> analyse(const QImage &source);
    // With the plan's analysis made already (on another thread).
    PlanPreparationDialog(const QImage &source, const QString &reason, std::shared_ptr<PlanPreparation> analysed,
                          QWidget *parent = nullptr);
    ~PlanPreparationDialog() override;

    PreparationOptions options() const;
    void setOptions(const PreparationOptions &options);
    // The plan prepared with the options shown (made now when the preview is behind).
    QImage result();

private:
    void schedulePreview();
    void updatePreview();
    // The source at the size a preview of `room` shows it.
    const QImage &sourceFor(QSize room);
    void showBefore();
    // The prepared plan with what it drops in colour; the share of the drawing dropped.
    double showAfter();
    void showPreviews();
    void resizeEvent(QResizeEvent *event) override;

    QImage m_source;
    // The source scaled for the previews, kept until their size changes: scaling a large scan
    // takes a while, and "Было" and the view of the dropped drawing show it at one size.
    QImage m_sourceShown;
    // Shared with a preparation still running on another thread after "Отмена".
    std::shared_ptr<PlanPreparation> m_preparation;
    bool m_preparing = false;
    QImage m_result;
    PreparationOptions m_resultOptions;
    bool m_resultValid = false;

    QLabel *m_before = nullptr;
    QLabel *m_after = nullptr;
    QSlider *m_threshold = nullptr;
    QLabel *m_thresholdValue = nullptr;
    QPushButton *m_automatic = nullptr;
    QCheckBox *m_colourAsFloor = nullptr;
    QCheckBox *m_wallsOnly = nullptr;
    QSpinBox *m_speck = nullptr;
    QLabel *m_status = nullptr;
    QTimer *m_timer = nullptr;
};
