#include "core/base/metrolaerror.h"
#include "core/model/recordtable.h"
#include "core/model/roomflags.h"
#include "testrecord.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestRoomFlags : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readsWhatItCanUse_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QList<quint32>>("common");
        QTest::addColumn<QByteArray>("written");
        // "МОП" in Windows-1251.
        const QByteArray mop = "\xcc\xce\xcf";
        QTest::newRow("two rooms, last field without ;")
            << QByteArray("12;" + mop + ";\r\n7;" + mop) << QList<quint32>{7, 12}
            << QByteArray("7;" + mop + ";\r\n12;" + mop + ";\r\n");
        QTest::newRow("walls, floor, no number, no flag, a repeat are skipped")
            << QByteArray("0;" + mop + ";\r\n16777215;" + mop + ";\nabc;" + mop + ";\n5;;\n9;" + mop + ";\n9;;\n")
            << QList<quint32>{9} << QByteArray("9;" + mop + ";\r\n");
        // A newer copy's flag survives a save by this one.
        QTest::newRow("unknown words are kept")
            << QByteArray("3;future, " + mop + ",future;\r\n4;future;\r\n") << QList<quint32>{3}
            << QByteArray("3;future," + mop + ";\r\n4;future;\r\n");
        // What a newer copy writes after the flags, or on a second line of a room, survives a
        // save by this one too; the second line keeps to its room.
        QTest::newRow("fields after the flags are kept")
            << QByteArray("3;" + mop + ";01.02.2027;future;\r\n") << QList<quint32>{3}
            << QByteArray("3;" + mop + ";01.02.2027;future;\r\n");
        QTest::newRow("a room's later lines are kept")
            << QByteArray("3;" + mop + ";\r\n4;future;\r\n3;;lease;\r\n3;second;\r\n") << QList<quint32>{3}
            << QByteArray("3;" + mop + ";\r\n4;future;\r\n3;;lease;\r\n3;second;\r\n");
    }
    void readsWhatItCanUse()
    {
        QFETCH(QByteArray, file);
        QFETCH(QList<quint32>, common);
        QFETCH(QByteArray, written);
        const RoomFlags flags = RoomFlags::parse(file);
        QVERIFY(flags.isDecided());
        QList<quint32> found;
        for (quint32 key : flags.keys()) {
            if (flags.isCommon(key))
                found << key;
        }
        QCOMPARE(found, common);
        QCOMPARE(flags.build(), written);
        QCOMPARE(RoomFlags::parse(written), flags);
    }

    // The stacking plan's order of floors travels in the same file, on a line a copy that knows
    // only flags skips; an order alone decides nothing about common areas.
    void floorOrder()
    {
        const QByteArray mop = "\xcc\xce\xcf";
        const QByteArray floors = "\xfd\xf2\xe0\xe6\xe8;"; // "этажи;"
        RoomFlags flags = RoomFlags::parse(floors + "b.bmp;a.bmp;b.bmp;../x.bmp;\r\n");
        QVERIFY(!flags.isDecided());
        QVERIFY(flags.hasContent());
        QCOMPARE(flags.floorOrder(), (QStringList{u"b.bmp"_s, u"a.bmp"_s}));
        // Plans gone from the project are left out, new ones follow in tab order.
        QCOMPARE(flags.orderedFloors({u"a.bmp"_s, u"c.bmp"_s, u"b.bmp"_s}),
                 (QStringList{u"b.bmp"_s, u"a.bmp"_s, u"c.bmp"_s}));
        flags.setCommon(7, true);
        const QByteArray written = flags.build();
        QCOMPARE(written, "7;" + mop + ";\r\n" + floors + "b.bmp;a.bmp;\r\n");
        QCOMPARE(RoomFlags::parse(written), flags);
        QVERIFY(RoomFlags::parse(written).isDecided());
        QCOMPARE(RoomFlags().orderedFloors({u"a.bmp"_s}), QStringList{u"a.bmp"_s});
    }

    void orphansAreDroppedByKey()
    {
        RecordTable table;
        table.replaceRows({roomRecord({.key = u"5"_s}), roomRecord({.key = u"6"_s}), {}});
        RoomFlags flags;
        for (quint32 key : {4u, 5u, 8u})
            flags.setCommon(key, true);
        QCOMPARE(flags.orphanKeys(table), (QList<quint32>{4, 8}));
        QCOMPARE(flags.dropOrphans(table), 2);
        QCOMPARE(flags.keys(), QList<quint32>{5});
    }

    // The lines and fields kept for a newer copy go with their room when it is gone.
    void keptLinesGoWithTheirRoom()
    {
        RecordTable table;
        table.replaceRows({roomRecord({.key = u"5"_s}), {}});
        RoomFlags flags = RoomFlags::parse("5;\xcc\xce\xcf;x;\r\n8;\xcc\xce\xcf;y;\r\n8;more;\r\n9;;z;\r\n");
        QCOMPARE(flags.orphanKeys(table), (QList<quint32>{8, 9}));
        QCOMPARE(flags.dropOrphans(table), 2);
        QCOMPARE(flags.build(), QByteArray("5;\xcc\xce\xcf;x;\r\n"));
    }

    void refusesTextOfAnotherCodePage()
    {
        QTemporaryDir dir;
        QFile file(dir.filePath(RoomFlags::fileName()));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("1;" + QByteArray("\xcc\xce\xcf") + ";\r\n2;" + u"МОП"_s.toUtf8() + ";\r\n");
        file.close();
        try {
            RoomFlags::load(dir.path() + u'/');
            QFAIL("a UTF-8 line was read");
        } catch (const MetrolaError &error) {
            QVERIFY2(error.message().contains(u"строка 2"_s), qPrintable(error.message()));
        }
    }
};

QTEST_GUILESS_MAIN(TestRoomFlags)
#include "tst_roomflags.moc"
