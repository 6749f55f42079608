#include "core/archive/zipwriter.h"
#include "core/base/cp1251.h"
#include "core/portfolio/portfolio.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>
#include <QTest>

#include <zlib.h>

using namespace Qt::StringLiterals;

namespace {

// A project's description: lines "plan;name;type;area;tenant;key".
QByteArray description(const QStringList &records)
{
    QString csv = u"А;П;Н;Т;1;2;3;4;5;м;;\r\nh;\r\n"_s;
    int x = 1;
    for (const QString &r : records) {
        const qsizetype key = r.lastIndexOf(u';');
        csv += r.left(key) + u";"_s + r.mid(key) + u";%1;1;\r\n"_s.arg(x++); // info left empty
    }
    csv += u";;;;;;07.12.2026;;;\r\n"_s;
    return Cp1251::fromUnicode(csv);
}

void writeZip(const QString &path, const QList<QPair<QString, QByteArray>> &members)
{
    ZipWriter writer(path);
    for (const auto &[name, bytes] : members)
        writer.addMember(name, bytes);
    writer.write();
}

// One stored member made by hand, so that its name and declared size can be what no writer of
// ours would write: "../x", or a size a reader that believed it would allocate.
QByteArray handMadeZip(const QByteArray &name, quint32 declared)
{
    const QByteArray data = "x";
    const auto le16 = [](QByteArray &b, quint16 v) { b.append(char(v & 0xff)).append(char(v >> 8)); };
    const auto le32 = [&](QByteArray &b, quint32 v) {
        le16(b, quint16(v & 0xffff));
        le16(b, quint16(v >> 16));
    };
    const quint32 crc =
        quint32(crc32(0, reinterpret_cast<const Bytef *>(data.constData()), uInt(data.size())));
    QByteArray zip;
    le32(zip, 0x04034b50);
    le16(zip, 20);
    le16(zip, 0);
    le16(zip, 8);
    le16(zip, 0);
    le16(zip, 0);
    le32(zip, crc);
    le32(zip, quint32(data.size()));
    le32(zip, declared);
    le16(zip, quint16(name.size()));
    le16(zip, 0);
    zip += name + data;
    const quint32 central = quint32(zip.size());
    le32(zip, 0x02014b50);
    le16(zip, 20);
    le16(zip, 20);
    le16(zip, 0);
    le16(zip, 8);
    le16(zip, 0);
    le16(zip, 0);
    le32(zip, crc);
    le32(zip, quint32(data.size()));
    le32(zip, declared);
    le16(zip, quint16(name.size()));
    le16(zip, 0);
    le16(zip, 0);
    le16(zip, 0);
    le16(zip, 0);
    le32(zip, 0);
    le32(zip, 0);
    zip += name;
    const quint32 centralSize = quint32(zip.size()) - central;
    le32(zip, 0x06054b50);
    le16(zip, 0);
    le16(zip, 0);
    le16(zip, 1);
    le16(zip, 1);
    le32(zip, centralSize);
    le32(zip, central);
    le16(zip, 0);
    return zip;
}

} // namespace

class TestPortfolio : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void folderOfGoodBrokenHostileAndForeignArchives()
    {
        QTemporaryDir dir;
        const QString d = dir.path();
        QVERIFY(QDir().mkpath(d + u"/sub"_s));
        writeZip(d + u"/Север.zip"_s,
                 {{u"metrola.csv"_s,
                   description({u"1.bmp;Офис 1;офис;100;ООО Ромашка;101"_s, u"1.bmp;Офис 2;офис;50;;102"_s,
                                u"2.bmp;Склад;склд;200;ИП Петров;103"_s, u"2.bmp;Коридор;проч;30;;104"_s})},
                  {u"metrola-rooms.csv"_s, Cp1251::fromUnicode(u"104;МОП;\r\n"_s)}});
        writeZip(d + u"/sub/Юг.ZIP"_s,
                 {{u"metrola.csv"_s, description({u"1.bmp;Зал;торг;40;ооо  ромашка;201"_s,
                                                  u"1.bmp;Зал 2;торг;не число;Кафе;202"_s})}});
        QFile broken(d + u"/Обрезан.zip"_s);
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write("PK\x03\x04 not a whole archive");
        broken.close();
        writeZip(d + u"/Чужой.zip"_s, {{u"readme.txt"_s, "hello"}});
        for (const auto &[file, zip] :
             {std::pair{u"/Злой.zip"_s, handMadeZip("../../evil.sh", 1)},
              std::pair{u"/Бомба.zip"_s, handMadeZip("metrola.csv", 0xF0000000u)}}) {
            QFile f(d + file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(zip);
        }
        QFile::link(d + u"/sub"_s, d + u"/sub/loop"_s); // a folder link loop must not hang -r

        QCOMPARE(Portfolio::findArchives(d, false).size(), 5);
        const QStringList all = Portfolio::findArchives(d, true);
        QCOMPARE(all.size(), 6);
        const Portfolio::Result result = Portfolio::collect(d, all, QDate(2026, 12, 9));
        QCOMPARE(int(result.complexes.size()), 6);
        QCOMPARE(result.unreadable, 4);
        QStringList reasons;
        for (const auto &c : result.complexes)
            if (!c.ok())
                reasons << c.name + u": "_s + c.error;
        const QString why = reasons.join(u'\n');
        QVERIFY2(why.contains(u"Чужой: это не архив Metrola"_s), qPrintable(why));
        QVERIFY2(why.contains(u"Злой: в архиве есть файлы с недопустимыми именами"_s), qPrintable(why));
        QVERIFY2(why.contains(u"Обрезан: Архив «Обрезан.zip» повреждён"_s), qPrintable(why));
        QVERIFY2(why.contains(u"Бомба: "_s), qPrintable(why));

        const auto north = std::find_if(result.complexes.begin(), result.complexes.end(),
                                        [](const auto &c) { return c.name == u"Север"_s; });
        QVERIFY(north != result.complexes.end() && north->ok());
        QCOMPARE(north->plans, 2);
        QCOMPARE(north->rooms, 4);
        QCOMPARE(north->area, 380.0);
        QCOMPARE(north->common, 30.0);
        QCOMPARE(north->let, 300.0);
        QCOMPARE(north->vacant, 50.0);
        QCOMPARE(*north->loadFactor, 380.0 / 350.0);
        QCOMPARE(north->tenants, 2);

        // The total adds the readable ones; an area that is no number adds nothing.
        QCOMPARE(result.total.rooms, 6);
        QCOMPARE(result.total.area, 420.0);
        QCOMPARE(result.total.let, 340.0);
        // One tenant in two complexes, spelt differently: one row with both areas.
        QCOMPARE(int(result.tenants.size()), 3);
        const auto romashka = std::find_if(result.tenants.begin(), result.tenants.end(), [](const auto &t) {
            return t.tenant.toCaseFolded() == u"ооо ромашка"_s;
        });
        QVERIFY(romashka != result.tenants.end());
        QCOMPARE(romashka->area, 140.0);
        QCOMPARE(int(romashka->areas.size()), 2);

        const QJsonObject json = Portfolio::json(result);
        QCOMPARE(json[u"unreadable"_s].toArray().size(), 4);
        QCOMPARE(json[u"complexes"_s].toArray().size(), 2);
        QVERIFY(Portfolio::text(result).contains(u"Не прочитаны (4)"_s));

        const QString book = d + u"/портфель.xlsx"_s;
        Portfolio::writeWorkbook(result, book);
        QFile f(book);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.read(2) == "PK");
    }

    // A directory of 17 MB (zeros, declared by the end record) is refused before it is read.
    void hugeDirectoryIsRefusedUnread()
    {
        QTemporaryDir dir;
        const qint64 directory = Portfolio::kDirectoryLimit + (1 << 20);
        QByteArray zip(directory, '\0');
        QByteArray end("PK\x05\x06", 4);
        end += QByteArray(6, '\0');
        end += QByteArray("\xff\xff", 2); // entries
        for (int i = 0; i < 4; ++i)
            end += char((directory >> (8 * i)) & 0xff);
        end += QByteArray(6, '\0'); // offset 0, no comment
        zip += end;
        QFile f(dir.filePath(u"огромный.zip"_s));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(zip);
        f.close();
        const Portfolio::Complex row = Portfolio::complex(f.fileName(), QDate(2026, 12, 9));
        QVERIFY2(row.error.contains(u"оглавление архива занимает"_s), qPrintable(row.error));
    }

    // Tenants, let and vacant areas follow the leases in force on the day asked; a lease ending
    // within 12 months of it is counted with its rooms' area.
    void leasesAsOfADay_data()
    {
        QTest::addColumn<QDate>("day");
        QTest::addColumn<double>("let");
        QTest::addColumn<QString>("tenant");
        QTest::addColumn<int>("ending");
        QTest::newRow("the old lease in force, ending in March")
            << QDate(2026, 12, 9) << 100.0 << u"ООО Старый"_s << 1;
        QTest::newRow("the new one in force, ending in 2030")
            << QDate(2027, 7, 1) << 60.0 << u"ИП Новый"_s << 0;
    }

    void leasesAsOfADay()
    {
        QFETCH(QDate, day);
        QFETCH(double, let);
        QFETCH(QString, tenant);
        QFETCH(int, ending);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"Центр.zip"_s);
        const QString leases = u"№;ключ;план;арендатор;договор;начало;конец;ставка;примечание;\r\n"
                               u"1;301;1.bmp;ООО Старый;А-1;01.01.2026;31.03.2027;;;\r\n"
                               u"2;302;1.bmp;ИП Новый;Б-2;01.06.2027;31.12.2030;;;\r\n"_s;
        writeZip(path, {{u"metrola.csv"_s, description({u"1.bmp;Офис 1;офис;100;ООО Старый;301"_s,
                                                        u"1.bmp;Офис 2;офис;60;;302"_s})},
                        {u"metrola-leases.csv"_s, Cp1251::fromUnicode(leases)}});
        const Portfolio::Complex row = Portfolio::complex(path, day);
        QVERIFY2(row.ok(), qPrintable(row.error));
        QCOMPARE(row.let, let);
        QCOMPARE(row.vacant, 160.0 - let);
        QCOMPARE(int(row.tenantAreas.size()), 1);
        QCOMPARE(row.tenantAreas[0].tenant, tenant);
        QCOMPARE(row.leasesEnding, ending);
        QCOMPARE(row.leasesEndingArea, ending ? 100.0 : 0.0);
    }

    void emptyFolderAndMissingFolder()
    {
        QTemporaryDir dir;
        const Portfolio::Result result =
            Portfolio::collect(dir.path(), Portfolio::findArchives(dir.path(), true), QDate(2026, 12, 9));
        QVERIFY(result.complexes.empty());
        QVERIFY(!result.total.letShare);
        QVERIFY_THROWS_EXCEPTION(std::exception, Portfolio::findArchives(dir.path() + u"/нет"_s, false));
    }
};

QTEST_GUILESS_MAIN(TestPortfolio)
#include "tst_portfolio.moc"
