// "Новый План" with pictures and PDF documents, the offer to prepare, and "Подготовить план".
#include "core/model/planimport.h"
#include "core/plan/planimage.h"
#include "core/rooms/planpreparation.h"
#include "gui/mainwindow/form1.h"
#include "messagelog.h"

#include <QFileInfo>
#include <QLabel>
#include <QPainter>
#include <QPdfWriter>
#include <QPushButton>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Two rooms of a scanned plan: grey walls and a smooth pencil stroke, so more than two colours.
QImage scan()
{
    QImage image(120, 80, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    for (const QRect &r : {QRect(5, 5, 110, 4), QRect(5, 71, 110, 4), QRect(5, 5, 4, 70),
                           QRect(111, 5, 4, 70), QRect(58, 5, 4, 70)})
        p.fillRect(r, QColor(60, 60, 60));
    p.setPen(QPen(QColor(90, 90, 90), 1.5));
    p.drawLine(QPointF(15.3, 20.2), QPointF(50.7, 60.9));
    return image;
}

struct Answers
{
    QString file;
    QStringList texts;                          // askText answers in turn; an empty entry cancels
    QList<QMessageBox::StandardButton> buttons; // question answers in turn
    bool prepare = true;                        // the preparation dialog's choice
    QStringList asked;                          // every question, warning and text prompt
    int prepareOffers = 0;
};

void answerWith(Answers &a)
{
    Dialogs::Responder r;
    r.message = [&a](Dialogs::Kind kind, const QString &, const QString &text) {
        a.asked.append(text);
        if ((kind == Dialogs::Kind::Question || kind == Dialogs::Kind::QuestionWithCancel) &&
            !a.buttons.isEmpty())
            return a.buttons.takeFirst();
        return QMessageBox::Ok;
    };
    r.file = [&a](QFileDialog *) { return a.file; };
    r.text = [&a](const QString &, const QString &label) -> std::optional<QString> {
        a.asked.append(label);
        if (a.texts.isEmpty() || a.texts.first().isEmpty())
            return std::nullopt;
        return a.texts.takeFirst();
    };
    r.prepare = [&a](const QImage &source) -> std::optional<QImage> {
        ++a.prepareOffers;
        if (!a.prepare)
            return std::nullopt;
        PlanPreparation preparation(source);
        return preparation.prepare(preparation.defaults());
    };
    Dialogs::setResponder(r);
}

QImage stored(const QString &path)
{
    return PlanImage::loadBmp(path);
}

} // namespace

class TestPlanImportWindow : public QObject
{
    Q_OBJECT

    MessageLog m_log;
    QTemporaryDir m_files;

private Q_SLOTS:
    void init() { m_log.install(); }
    void cleanup()
    {
        Dialogs::setResponder({});
        MessageLog::remove();
    }

    void pictureBecomesPreparedBmp_data()
    {
        QTest::addColumn<bool>("prepare");
        QTest::newRow("prepared") << true;
        QTest::newRow("kept as it is") << false;
    }
    void pictureBecomesPreparedBmp()
    {
        QFETCH(bool, prepare);
        QTemporaryDir work;
        Answers a;
        a.file = m_files.filePath(u"этаж 1.jpg"_s);
        a.prepare = prepare;
        QVERIFY(scan().save(a.file, "JPG", 60));
        answerWith(a);
        Form1 form(work.path() + u'/');
        form.SpeedButton1Click();
        QCOMPARE(form.Label1->text(), u"этаж 1.bmp"_s);
        QCOMPARE(form.TabSet1->tabText(0), u"этаж 1.bmp"_s);
        QCOMPARE(a.prepareOffers, 1);
        const QImage file = stored(work.filePath(u"этаж 1.bmp"_s));
        QCOMPARE(file.size(), QSize(120, 80));
        QCOMPARE(PlanPreparation::isClean(file), prepare);
        QCOMPARE(form.session().modified(), prepare);
        QVERIFY(form.session().extractedFiles.contains(u"этаж 1.bmp"_s));
    }

    void takenNameAsks_data()
    {
        QTest::addColumn<QMessageBox::StandardButton>("answer");
        QTest::addColumn<QString>("newName");
        QTest::addColumn<QString>("shown");
        QTest::newRow("replace") << QMessageBox::Yes << QString() << u"plan.bmp"_s;
        QTest::newRow("another name") << QMessageBox::No << u"план 2"_s << u"план 2.bmp"_s;
        QTest::newRow("cancel") << QMessageBox::Cancel << QString() << u"-"_s;
    }
    void takenNameAsks()
    {
        QFETCH(QMessageBox::StandardButton, answer);
        QFETCH(QString, newName);
        QFETCH(QString, shown);
        QTemporaryDir work;
        // An unpacked plan of that name lies in the working folder already.
        QImage old(10, 10, QImage::Format_RGB32);
        old.fill(Qt::white);
        PlanImage::saveBmp(old, work.filePath(u"plan.bmp"_s));
        Answers a;
        a.file = m_files.filePath(u"plan.png"_s);
        a.prepare = false;
        a.buttons = {answer};
        a.texts = {newName};
        QVERIFY(scan().save(a.file));
        answerWith(a);
        Form1 form(work.path() + u'/');
        form.SpeedButton1Click();
        QCOMPARE(form.Label1->text(), shown);
        QVERIFY(a.asked.first().contains(u"«plan.bmp» уже есть"_s));
        QCOMPARE(stored(work.filePath(u"plan.bmp"_s)).size(),
                 answer == QMessageBox::Yes ? QSize(120, 80) : QSize(10, 10));
    }

    // A plan named as a working file would be painted over by the placement picture (or
    // packed in the place of the description file): the import asks for another name, for a
    // picture and for a BMP from disk alike, and never takes the working file's name.
    void workingFileNamesAreNoPlanNames_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QString>("shown");
        QTest::newRow("picture as the placement picture")
            << u"metrola.png"_s << QStringList{u"этаж"_s} << u"этаж.bmp"_s;
        QTest::newRow("BMP as the placement picture")
            << u"metrola.bmp"_s << QStringList{u"этаж"_s} << u"этаж.bmp"_s;
        QTest::newRow("other letter case") << u"METROLA.jpg"_s << QStringList{u"этаж"_s} << u"этаж.bmp"_s;
        QTest::newRow("new name a working file too")
            << u"metrola.png"_s << QStringList{u"metrola"_s, u"этаж 2"_s} << u"этаж 2.bmp"_s;
        QTest::newRow("no new name") << u"metrola.png"_s << QStringList{QString()} << u"-"_s;
    }
    void workingFileNamesAreNoPlanNames()
    {
        QFETCH(QString, file);
        QFETCH(QStringList, texts);
        QFETCH(QString, shown);
        QTemporaryDir work;
        QTemporaryDir source;
        Answers a;
        a.file = source.filePath(file);
        a.prepare = false;
        a.buttons = {QMessageBox::Yes, QMessageBox::Yes};
        a.texts = texts;
        QVERIFY(scan().save(a.file, file.endsWith(u"bmp"_s) ? "BMP" : nullptr));
        answerWith(a);
        Form1 form(work.path() + u'/');
        form.SpeedButton1Click();
        QCOMPARE(form.Label1->text(), shown);
        QVERIFY2(a.asked.first().contains(u"занято рабочим файлом"_s), qPrintable(a.asked.join(u'|')));
        QVERIFY(!QFileInfo::exists(work.filePath(u"metrola.bmp"_s)));
        QVERIFY(!QFileInfo::exists(work.filePath(u"metrola.csv"_s)));
        for (int i = 0; i < form.TabSet1->count(); ++i)
            QVERIFY(!PlanImport::isWorkingFileName(form.TabSet1->tabText(i)));
    }

    void pdfAsksPageAndResolution_data()
    {
        QTest::addColumn<QStringList>("answers");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QString>("warning");
        // A5 at 50 dpi: 291 x 413 points.
        QTest::newRow("page 2 at 50 dpi") << QStringList{u"2"_s, u"50"_s} << QSize(291, 413) << QString();
        QTest::newRow("page 3 of 2") << QStringList{u"3"_s} << QSize() << u"«3» — не целое число от 1 до 2"_s;
        QTest::newRow("resolution not a number")
            << QStringList{u"1"_s, u"много"_s} << QSize() << u"«много»"_s;
        QTest::newRow("cancelled") << QStringList{u"1"_s, QString()} << QSize() << QString();
    }
    void pdfAsksPageAndResolution()
    {
        QFETCH(QStringList, answers);
        QFETCH(QSize, size);
        QFETCH(QString, warning);
        const QString pdf = m_files.filePath(u"чертёж.pdf"_s);
        {
            QPdfWriter writer(pdf);
            writer.setPageSize(QPageSize(QPageSize::A5));
            QPainter p(&writer);
            p.drawLine(0, 0, 100, 100);
            writer.newPage();
            p.fillRect(0, 0, 2000, 300, Qt::black);
        }
        QTemporaryDir work;
        Answers a;
        a.file = pdf;
        a.texts = answers;
        a.prepare = false;
        answerWith(a);
        Form1 form(work.path() + u'/');
        form.SpeedButton1Click();
        QVERIFY(a.asked.first().contains(u"Страница"_s));
        if (size.isValid()) {
            QCOMPARE(form.Label1->text(), u"чертёж.bmp"_s);
            const QSize got = stored(work.filePath(u"чертёж.bmp"_s)).size();
            QVERIFY2(qAbs(got.width() - size.width()) <= 1 && qAbs(got.height() - size.height()) <= 1,
                     qPrintable(u"%1 x %2"_s.arg(got.width()).arg(got.height())));
        } else {
            QCOMPARE(form.Label1->text(), u"-"_s);
            QVERIFY(!QFileInfo::exists(work.filePath(u"чертёж.bmp"_s)));
        }
        if (!warning.isEmpty())
            QVERIFY2(a.asked.last().contains(warning), qPrintable(a.asked.last()));
    }

    // A BMP added from disk is prepared into the working folder, never over the user's file,
    // and "Подготовить план" brings the user's file back until the next save.
    void preparedBmpUndoes()
    {
        QTemporaryDir work;
        Answers a;
        a.file = m_files.filePath(u"mine.bmp"_s);
        PlanImage::saveBmp(scan(), a.file);
        const QByteArray original = [&] {
            QFile f(a.file);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        }();
        answerWith(a);
        Form1 form(work.path() + u'/');
        form.SpeedButton1Click();
        QCOMPARE(a.prepareOffers, 1);
        QVERIFY(PlanPreparation::isClean(form.session().planImage()));
        QVERIFY(PlanPreparation::isClean(stored(work.filePath(u"mine.bmp"_s))));
        QFile mine(a.file);
        QVERIFY(mine.open(QIODevice::ReadOnly));
        QCOMPARE(mine.readAll(), original);

        a.buttons = {QMessageBox::Yes};
        form.PrepareButton->click();
        QVERIFY(a.asked.last().contains(u"уже подготовлен"_s));
        QVERIFY(!PlanPreparation::isClean(form.session().planImage()));
        QCOMPARE(form.session().planPaths().planFilePath(form.session().programDir(), u"mine.bmp"_s), a.file);
        // Once undone, the button prepares again.
        form.PrepareButton->click();
        QCOMPARE(a.prepareOffers, 2);
    }

    void prepareWithoutPlanDoesNothing()
    {
        QTemporaryDir work;
        Answers a;
        answerWith(a);
        Form1 form(work.path() + u'/');
        form.PrepareButton->click();
        QCOMPARE(a.prepareOffers, 0);
        QVERIFY(a.asked.isEmpty());
    }
};

QTEST_MAIN(TestPlanImportWindow)
#include "tst_planimportwindow.moc"
