#include "core/base/qttranslation.h"
#include "gui/mainwindow/form1.h"
#include "gui/widgets/dialogs.h"

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QFile>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>
#include <QTreeView>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

QString cancelText(QFileDialog *dialog)
{
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->show();
    auto *box = dialog->findChild<QDialogButtonBox *>();
    const QString text = box && box->button(QDialogButtonBox::Cancel) ? box->button(QDialogButtonBox::Cancel)->text()
                                                                       : QString();
    dialog->hide();
    return text;
}

} // namespace

class TestQtTranslation : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Runs first: nothing is installed yet. A missing translation is one line on stderr and
    // the program goes on in Qt's English.
    void missingTranslationIsOneWarning()
    {
        QTemporaryDir empty;
        QTemporaryFile log;
        QVERIFY(log.open());
        std::fflush(stderr);
        const int saved = dup(STDERR_FILENO);
        dup2(log.handle(), STDERR_FILENO);
        const bool found = QtTranslation::installRussian(u"metrola"_s, empty.path());
        std::fflush(stderr);
        dup2(saved, STDERR_FILENO);
        close(saved);
        QVERIFY(!found);
        QFile written(log.fileName());
        QVERIFY(written.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(written.readAll());
        QCOMPARE(text.count(u'\n'), 1);
        QVERIFY(text.startsWith(u"metrola: "_s));
        QVERIFY(text.contains(u"qtbase_ru"_s));

        QTemporaryDir dir;
        Form1 window(dir.path() + u'/');
        QCOMPARE(cancelText(window.findChild<QFileDialog *>(u"OpenDialog1"_s)), u"Cancel"_s);
    }

    void fileDialogSpeaksRussian()
    {
        QVERIFY(QtTranslation::installRussian(u"metrola"_s));
        QTemporaryDir dir;
        Form1 window(dir.path() + u'/');
        for (const char *name : {"OpenDialog1", "SaveDialog1", "OpenPictureDialog1"})
            QCOMPARE(cancelText(window.findChild<QFileDialog *>(QString::fromLatin1(name))), u"Отмена"_s);
    }

    // "Folder" stood in the type column of a Russian file dialog, and its columns, sized by
    // Qt's English samples, cut the Russian headers and types.
    void fileDialogFoldersAndColumnsInRussian()
    {
        QVERIFY(QtTranslation::installRussian(u"metrola"_s));
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(u"этаж 1"_s));
        QFileDialog dialog(nullptr, u"Планы"_s, dir.path());
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setViewMode(QFileDialog::Detail);
        dialog.show();
        auto *tree = dialog.findChild<QTreeView *>(u"treeView"_s);
        QVERIFY(tree);
        QTRY_COMPARE(tree->model()->rowCount(tree->rootIndex()), 1);
        const QModelIndex folder = tree->model()->index(0, 2, tree->rootIndex());
        QCOMPARE(folder.data().toString(), u"Папка"_s);
        Dialogs::fitFileDialogColumns(&dialog);
        QHeaderView *header = tree->header();
        for (int section = 1; section < header->count(); ++section)
            QVERIFY2(header->sectionSize(section) >= header->sectionSizeHint(section),
                     qPrintable(header->model()->headerData(section, Qt::Horizontal).toString()));
        const QFontMetrics metrics(tree->font());
        QVERIFY(header->sectionSize(2) > metrics.horizontalAdvance(u"изображение JPEG"_s));
        // Every column is seen whole, not cut by the dialog's edge.
        QVERIFY2(header->length() <= tree->viewport()->width() || dialog.width() >= dialog.screen()->availableGeometry().width() * 9 / 10,
                 qPrintable(u"%1 > %2"_s.arg(header->length()).arg(tree->viewport()->width())));
        dialog.hide();
    }
};

QTEST_MAIN(TestQtTranslation)
#include "tst_qttranslation.moc"
