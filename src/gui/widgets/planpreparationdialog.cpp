#include "gui/widgets/planpreparationdialog.h"

#include "core/base/metrolaerror.h"
#include "core/rooms/cvguard.h"
#include "gui/widgets/backgroundwork.h"

#include <QApplication>
#include <QCheckBox>
#include <QColor>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

constexpr int kPreviewWidth = 460;
constexpr int kPreviewHeight = 360;

} // namespace

std::shared_ptr<PlanPreparation> PlanPreparationDialog::analyse(const QImage &source)
{
    std::shared_ptr<PlanPreparation> preparation;
    CvGuard::run(source.size(), [&] { preparation = std::make_shared<PlanPreparation>(source); });
    return preparation;
}

PlanPreparationDialog::PlanPreparationDialog(const QImage &source, const QString &reason, QWidget *parent)
    : PlanPreparationDialog(source, reason, analyse(source), parent)
{
}

PlanPreparationDialog::PlanPreparationDialog(const QImage &source, const QString &reason,
                                             std::shared_ptr<PlanPreparation> analysed, QWidget *parent)
    : QDialog(parent)
    , m_source(source)
    , m_preparation(std::move(analysed))
{
    setObjectName(u"PlanPreparationDialog"_s);
    setWindowTitle(u"Подготовка плана"_s);
    const PlanTraits &traits = m_preparation->traits();

    auto *layout = new QVBoxLayout(this);
    if (!reason.isEmpty()) {
        auto *why = new QLabel(reason, this);
        why->setWordWrap(true);
        layout->addWidget(why);
    }
    auto *pictures = new QGridLayout;
    pictures->addWidget(new QLabel(u"Было"_s, this), 0, 0, Qt::AlignHCenter);
    auto *afterTitle = new QLabel(u"Станет; <span style=\"color:%1\">красным</span> — что будет убрано"_s.arg(
                                      QColor(PlanPreparation::kDroppedColour).name()),
                                  this);
    pictures->addWidget(afterTitle, 0, 1, Qt::AlignHCenter);
    m_before = new QLabel(this);
    m_after = new QLabel(this);
    m_before->setObjectName(u"before"_s);
    m_after->setObjectName(u"after"_s);
    for (QLabel *label : {m_before, m_after}) {
        label->setMinimumSize(kPreviewWidth / 2, kPreviewHeight / 2);
        // The pictures take what the dialog gains when it is made larger.
        label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
        label->setAlignment(Qt::AlignCenter);
        label->setFrameShape(QFrame::StyledPanel);
    }
    pictures->addWidget(m_before, 1, 0);
    pictures->addWidget(m_after, 1, 1);
    pictures->setRowStretch(1, 1);
    layout->addLayout(pictures, 1);

    auto *form = new QFormLayout;
    auto *thresholdRow = new QHBoxLayout;
    m_threshold = new QSlider(Qt::Horizontal, this);
    m_threshold->setObjectName(u"threshold"_s);
    m_threshold->setRange(1, 255);
    m_threshold->setToolTip(u"Точки темнее порога становятся стенами и линиями, светлее — полом"_s);
    m_thresholdValue = new QLabel(this);
    m_thresholdValue->setMinimumWidth(fontMetrics().horizontalAdvance(u"255"_s) + 4);
    m_automatic = new QPushButton(u"Как определено"_s, this);
    m_automatic->setToolTip(traits.localThreshold
                                ? u"Порог подобран по участкам: яркость бумаги на плане неровная"_s
                                : u"Порог подобран по всему плану"_s);
    thresholdRow->addWidget(m_threshold, 1);
    thresholdRow->addWidget(m_thresholdValue);
    thresholdRow->addWidget(m_automatic);
    form->addRow(u"Порог:"_s, thresholdRow);
    m_colourAsFloor = new QCheckBox(u"Цветные пометки и тонированные полы — это пол"_s, this);
    m_colourAsFloor->setObjectName(u"colourAsFloor"_s);
    form->addRow(QString(), m_colourAsFloor);
    m_wallsOnly = new QCheckBox(u"Только стены: убрать мебель, двери и надписи внутри помещений"_s, this);
    m_wallsOnly->setObjectName(u"wallsOnly"_s);
    m_wallsOnly->setToolTip(u"Заливка помещения покроет весь его пол вместе с оборудованием"_s);
    form->addRow(QString(), m_wallsOnly);
    m_speck = new QSpinBox(this);
    m_speck->setObjectName(u"speck"_s);
    m_speck->setRange(1, 10000);
    m_speck->setSuffix(u" точек"_s);
    form->addRow(u"Убрать пятнышки до:"_s, m_speck);
    layout->addLayout(form);
    m_status = new QLabel(this);
    layout->addWidget(m_status);

    auto *buttons = new QDialogButtonBox(this);
    buttons->addButton(u"Подготовить"_s, QDialogButtonBox::AcceptRole)->setObjectName(u"prepare"_s);
    buttons->addButton(u"Оставить как есть"_s, QDialogButtonBox::RejectRole)->setObjectName(u"keep"_s);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    m_timer = new QTimer(this);
    m_timer->setSingleShot(true);
    m_timer->setInterval(200);
    connect(m_timer, &QTimer::timeout, this, &PlanPreparationDialog::updatePreview);
    setOptions(m_preparation->defaults());
    connect(m_threshold, &QSlider::valueChanged, this, [this](int value) {
        m_thresholdValue->setText(QString::number(value));
        schedulePreview();
    });
    connect(m_automatic, &QPushButton::clicked, this,
            [this] { m_threshold->setValue(m_preparation->traits().autoThreshold); });
    connect(m_colourAsFloor, &QCheckBox::toggled, this, &PlanPreparationDialog::schedulePreview);
    connect(m_wallsOnly, &QCheckBox::toggled, this, &PlanPreparationDialog::schedulePreview);
    connect(m_speck, &QSpinBox::valueChanged, this, &PlanPreparationDialog::schedulePreview);
    resize(2 * kPreviewWidth + 60, sizeHint().height() + kPreviewHeight / 2);
    showBefore();
    updatePreview();
}

PlanPreparationDialog::~PlanPreparationDialog() = default;

PreparationOptions PlanPreparationDialog::options() const
{
    PreparationOptions options;
    options.threshold = m_threshold->value();
    options.colourAsFloor = m_colourAsFloor->isChecked();
    options.wallsOnly = m_wallsOnly->isChecked();
    options.speckPixels = m_speck->value();
    return options;
}

void PlanPreparationDialog::setOptions(const PreparationOptions &options)
{
    const QSignalBlocker a(m_threshold), b(m_colourAsFloor), c(m_wallsOnly), d(m_speck);
    m_threshold->setValue(options.threshold);
    m_thresholdValue->setText(QString::number(options.threshold));
    m_colourAsFloor->setChecked(options.colourAsFloor);
    m_wallsOnly->setChecked(options.wallsOnly);
    m_speck->setValue(options.speckPixels);
    schedulePreview();
}

QImage PlanPreparationDialog::result()
{
    if (!m_resultValid || m_resultOptions != options())
        updatePreview();
    // Preparation failed (memory): the reason the dialog shows, for the caller's handler.
    if (!m_resultValid)
        throw MetrolaError(m_status->text());
    return m_result;
}

void PlanPreparationDialog::schedulePreview()
{
    m_resultValid = false;
    m_status->setText(u"Подготовка…"_s);
    m_timer->start();
}

void PlanPreparationDialog::updatePreview()
{
    m_timer->stop();
    // A change of the options while a preparation runs waits for the next turn.
    if (m_preparing) {
        m_timer->start();
        return;
    }
    const PreparationOptions wanted = options();
    const std::shared_ptr<const PlanPreparation> preparation = m_preparation;
    const QSize size = m_source.size();
    m_preparing = true;
    std::optional<QImage> prepared;
    try {
        prepared = BackgroundWork::compute<QImage>(this, u"Подготовка плана"_s, u"Подготовка плана…"_s,
                                                   [preparation, wanted, size](const WorkCancel &) {
                                                       QImage result;
                                                       CvGuard::run(size, [&] { result = preparation->prepare(wanted); });
                                                       return result;
                                                   });
    } catch (const MetrolaError &error) {
        // A timer's slot: nothing may leave it; the dialog says why there is no preview.
        m_preparing = false;
        m_status->setText(error.message());
        return;
    }
    m_preparing = false;
    if (!prepared) {
        m_status->setText(u"Подготовка прервана: показан прежний вид."_s);
        return;
    }
    m_resultOptions = wanted;
    m_result = std::move(*prepared);
    m_resultValid = true;
    const double dropped = showAfter();
    const PlanTraits &traits = m_preparation->traits();
    m_status->setText(
        u"Линии %1 точ., стены %2 точ.%3; убрано %4 % рисунка"_s.arg(traits.lineWidth)
            .arg(traits.wallThickness)
            .arg(traits.hasThinDrawing ? u"; внутри помещений есть тонкий рисунок"_s : QString())
            .arg(qRound(100 * dropped)));
}

double PlanPreparationDialog::showAfter()
{
    const QImage &source = sourceFor(m_after->contentsRect().size());
    const PlanPreparation::DroppedView view =
        PlanPreparation::droppedView(source, m_result, m_resultOptions.threshold, source.size());
    m_after->setPixmap(QPixmap::fromImage(view.picture));
    return view.droppedShare;
}

void PlanPreparationDialog::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    showPreviews();
}

void PlanPreparationDialog::showPreviews()
{
    showBefore();
    if (!m_result.isNull())
        showAfter();
}

const QImage &PlanPreparationDialog::sourceFor(QSize room)
{
    const QSize size = m_source.size().scaled(room.expandedTo(QSize(kPreviewWidth / 2, kPreviewHeight / 2)),
                                              Qt::KeepAspectRatio);
    if (m_sourceShown.size() != size)
        m_sourceShown = m_source.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return m_sourceShown;
}

void PlanPreparationDialog::showBefore()
{
    m_before->setPixmap(QPixmap::fromImage(sourceFor(m_before->contentsRect().size())));
}
