#include "core/plan/plansource.h"

#include "core/base/metrolaerror.h"
#include "core/plan/planimage.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>

#include <poppler-qt6.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <mutex>

using namespace Qt::StringLiterals;

namespace {

QString shownName(const QString &path)
{
    return QFileInfo(path).fileName();
}

[[noreturn]] void refuse(const QString &message)
{
    throw MetrolaError(message);
}

void checkSize(qint64 width, qint64 height, const QString &path)
{
    if (width <= 0 || height <= 0)
        refuse(u"Файл «%1» не содержит рисунка."_s.arg(shownName(path)));
    if (width > PlanImage::kMaxSide || height > PlanImage::kMaxSide || width * height > PlanImage::kMaxPixels)
        refuse(u"План из файла «%1» слишком велик (%2 × %3 точек); наибольший план — %4 точек."_s
                   .arg(shownName(path))
                   .arg(width)
                   .arg(height)
                   .arg(PlanImage::kMaxPixels));
}

// Pictures with an alpha channel are drawn on white paper: converted straight to RGB32,
// their transparent background would turn black, the colour of walls.
QImage onWhite(QImage image, const QString &path)
{
    if (image.format() == QImage::Format_RGB32)
        return image;
    if (!image.hasAlphaChannel()) {
        image.convertTo(QImage::Format_RGB32);
        return image;
    }
    QImage plan = PlanImage::allocate(image.width(), image.height());
    if (plan.isNull())
        refuse(u"Не хватает памяти, чтобы открыть рисунок из файла «%1»."_s.arg(shownName(path)));
    plan.fill(Qt::white);
    QPainter painter(&plan);
    painter.drawImage(0, 0, image);
    return plan;
}

void ignorePopplerChatter(const QString &, const QVariant &)
{}

std::unique_ptr<Poppler::Document> openPdf(const QString &path)
{
    // Poppler reports every repair of a damaged file on stderr; what matters reaches the user
    // as the one message below, and the batch tool keeps its one-line error contract.
    Poppler::setDebugErrorFunction(ignorePopplerChatter, QVariant());
    std::unique_ptr<Poppler::Document> document = Poppler::Document::load(path);
    if (!document)
        refuse(u"Файл «%1» не удалось прочитать как документ PDF."_s.arg(shownName(path)));
    if (document->isLocked())
        refuse(u"Документ PDF «%1» защищён паролем; откройте его без пароля и сохраните заново."_s.arg(
            shownName(path)));
    return document;
}

// libpng, libtiff and the JPEG reader tell of what they meet in English, through Qt's
// warnings or straight onto stderr; the user is told what matters in one Russian line. While a
// picture is read here, what they say through Qt on this thread is held back and kept for the
// reader to judge (the JPEG reader's "premature end" is how a cut file shows), and stderr is
// closed to them. One reading at a time swaps the handler; messages of other threads pass on
// through Qt as before.
class QuietImageLibraries
{
public:
    QuietImageLibraries()
        : m_lock(s_mutex)
    {
        t_heard = &m_heard;
        s_previous = qInstallMessageHandler(hold);
        // libpng's and libtiff's own error lines go straight to stderr, past Qt.
        std::fflush(stderr);
        m_stderr = ::dup(STDERR_FILENO);
        const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (m_stderr >= 0 && null >= 0)
            ::dup2(null, STDERR_FILENO);
        if (null >= 0)
            ::close(null);
    }
    ~QuietImageLibraries()
    {
        std::fflush(stderr);
        if (m_stderr >= 0) {
            ::dup2(m_stderr, STDERR_FILENO);
            ::close(m_stderr);
        }
        qInstallMessageHandler(s_previous);
        t_heard = nullptr;
    }
    QuietImageLibraries(const QuietImageLibraries &) = delete;
    QuietImageLibraries &operator=(const QuietImageLibraries &) = delete;

    bool heard(QStringView words) const
    {
        return std::any_of(m_heard.cbegin(), m_heard.cend(),
                           [&](const QString &m) { return m.contains(words, Qt::CaseInsensitive); });
    }

private:
    static void hold(QtMsgType type, const QMessageLogContext &context, const QString &message)
    {
        if (t_heard && type != QtFatalMsg) {
            t_heard->append(message);
            return;
        }
        if (s_previous)
            s_previous(type, context, message);
    }

    static inline std::mutex s_mutex;
    static inline QtMessageHandler s_previous = nullptr;
    static inline thread_local QStringList *t_heard = nullptr;
    std::lock_guard<std::mutex> m_lock;
    QStringList m_heard;
    int m_stderr = -1;
};

// Whether a JPEG file goes on to its end marker after the picture's first scan. Qt's reader
// takes a cut file as whole and paints the missing part grey, which would become walls.
bool jpegHasEnd(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.readAll();
    // The segments before the scan (EXIF with its thumbnail among them) say how long they are.
    qsizetype at = 2;
    while (at + 4 <= bytes.size()) {
        if (uchar(bytes[at]) != 0xFF)
            return false;
        const uchar marker = uchar(bytes[at + 1]);
        if (marker == 0xFF) {
            ++at;
            continue;
        }
        if (marker == 0xDA)
            return bytes.indexOf(QByteArrayView("\xFF\xD9", 2), at) >= 0;
        at += 2 + ((uchar(bytes[at + 2]) << 8) | uchar(bytes[at + 3]));
    }
    return false;
}

QImage loadPicture(const QString &path)
{
    // Qt refuses pictures above 256 MiB of pixels by default; plans are bigger than that, and
    // checkSize() below keeps the limit that holds everywhere else.
    if (QImageReader::allocationLimit() != 0 && QImageReader::allocationLimit() < 1024)
        QImageReader::setAllocationLimit(1024);
    const QuietImageLibraries quiet;
    QImageReader reader(path);
    // Photographed plans carry their orientation in EXIF; the user sees them upright elsewhere.
    reader.setAutoTransform(true);
    if (!reader.canRead())
        refuse(u"Файл «%1» не является рисунком BMP, PNG, JPEG, TIFF или документом PDF."_s.arg(
            shownName(path)));
    const QSize size = reader.size();
    if (size.isValid())
        checkSize(size.width(), size.height(), path);
    QImage image;
    // Known only until the reader is done with the file.
    const bool jpeg = reader.format() == "jpeg";
    // Qt's reasons are English and say no more than this.
    if (!reader.read(&image) || image.isNull())
        refuse(u"Рисунок из файла «%1» не прочитан: файл повреждён или обрезан."_s.arg(shownName(path)));
    if (jpeg && (quiet.heard(u"premature end") || !jpegHasEnd(path)))
        refuse(u"Рисунок JPEG из файла «%1» обрезан: его конец потерян. Возьмите файл целиком."_s.arg(
            shownName(path)));
    checkSize(image.width(), image.height(), path);
    return onWhite(std::move(image), path);
}

QImage loadPdfPage(const QString &path, int page, int dpi)
{
    if (dpi < PlanSource::kMinDpi || dpi > PlanSource::kMaxDpi)
        refuse(u"Разрешение %1 точек на дюйм вне пределов от %2 до %3."_s.arg(dpi)
                   .arg(PlanSource::kMinDpi)
                   .arg(PlanSource::kMaxDpi));
    const std::unique_ptr<Poppler::Document> document = openPdf(path);
    const int pages = document->numPages();
    if (page < 1 || page > pages)
        refuse(
            u"В документе «%1» нет страницы %2 (страниц: %3)."_s.arg(shownName(path)).arg(page).arg(pages));
    const std::unique_ptr<Poppler::Page> pdfPage = document->page(page - 1);
    if (!pdfPage)
        refuse(u"Страница %2 документа «%1» не читается."_s.arg(shownName(path)).arg(page));
    // Checked before rendering: poppler would try to allocate whatever the page size asks.
    const QSizeF points = pdfPage->pageSizeF();
    checkSize(qint64(points.width() * dpi / 72.0 + 1), qint64(points.height() * dpi / 72.0 + 1), path);
    // Anti-aliased like a scan; preparation turns the grey rims into clean lines.
    document->setRenderHint(Poppler::Document::Antialiasing);
    document->setRenderHint(Poppler::Document::TextAntialiasing);
    document->setPaperColor(Qt::white);
    QImage image = pdfPage->renderToImage(dpi, dpi);
    if (image.isNull())
        refuse(u"Страница %2 документа «%1» не отрисована (мало памяти или повреждённый файл)."_s
                   .arg(shownName(path))
                   .arg(page));
    return onWhite(std::move(image), path);
}

} // namespace

PlanSource::Kind PlanSource::kindOf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        refuse(u"Файл «%1» не открывается: %2."_s.arg(path, file.errorString()));
    const QByteArray head = file.read(5);
    if (head.startsWith("%PDF-"))
        return Kind::Pdf;
    // What no reader recognises is left to the BMP reader, whose refusal names the form
    // plans have always had.
    file.seek(0);
    if (head.startsWith("BM") || QImageReader::imageFormat(&file).isEmpty())
        return Kind::Bmp;
    return Kind::Picture;
}

int PlanSource::pdfPageCount(const QString &path)
{
    return openPdf(path)->numPages();
}

QImage PlanSource::load(const QString &path, int page, int dpi)
{
    switch (kindOf(path)) {
    case Kind::Bmp:
        return PlanImage::loadBmp(path);
    case Kind::Pdf:
        return loadPdfPage(path, page, dpi);
    case Kind::Picture:
        break;
    }
    return loadPicture(path);
}

QString PlanSource::bmpNameFor(const QString &sourcePath)
{
    const QFileInfo info(sourcePath);
    const QString base = info.completeBaseName();
    return (base.isEmpty() ? info.fileName() : base) + u".bmp"_s;
}

namespace {

const QStringList &planSuffixes()
{
    static const QStringList suffixes = {u"bmp"_s, u"png"_s, u"jpg"_s, u"jpeg"_s, u"tif"_s, u"tiff"_s, u"pdf"_s};
    return suffixes;
}

} // namespace

QString PlanSource::dialogFilter()
{
    QStringList patterns;
    for (const QString &suffix : planSuffixes())
        patterns.append(u"*."_s + suffix);
    return u"Планы (%1);;Рисунки BMP (*.bmp);;"
           "Рисунки PNG, JPEG, TIFF (*.png *.jpg *.jpeg *.tif *.tiff);;Документы PDF (*.pdf)"_s.arg(patterns.join(u' '));
}

bool PlanSource::hasPlanSuffix(const QString &path)
{
    return planSuffixes().contains(QFileInfo(path).suffix().toLower());
}
