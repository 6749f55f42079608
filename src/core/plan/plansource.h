#pragma once

#include <QImage>
#include <QString>

class WorkCancel;

// Plans arrive as BMP, PNG, JPEG and TIFF pictures and as PDF drawings. Every form is read
// here into the plan's own image (Format_RGB32, so colours written into it read back), and a
// plan that is not a BMP is stored as one: plan ids are BMP file names, and the rest of the
// program (and older copies of it) only ever reads BMP.
// Failures throw MetrolaError with a Russian message that names the file.
class PlanSource
{
public:
    static constexpr int kDefaultDpi = 200;
    static constexpr int kMinDpi = 36;
    static constexpr int kMaxDpi = 1200;

    enum class Kind { Bmp, Picture, Pdf };

    // Decided from the file's first bytes, so a misnamed file is still read for what it is; a
    // file no reader recognises counts as a (broken) BMP.
    static Kind kindOf(const QString &path);
    static int pdfPageCount(const QString &path);

    // `page` (from 1) and `dpi` matter for PDF only. A transparent picture lies on white paper.
    // A PDF page stops rendering when `cancel` says so (WorkCancelled is thrown).
    static QImage load(const QString &path, int page = 1, int dpi = kDefaultDpi, const WorkCancel *cancel = nullptr);

    // "этаж 2.jpg" -> "этаж 2.bmp": the name a converted plan takes in the working folder.
    static QString bmpNameFor(const QString &sourcePath);
    // The file dialog's filter for every form load() reads.
    static QString dialogFilter();
    // The name ends in one of the suffixes of that filter: a file dropped on the window is
    // taken as a plan.
    static bool hasPlanSuffix(const QString &path);
};
