#include "core/archive/zipreader.h"
#include "core/archive/zipwriter.h"
#include "core/base/metrolaerror.h"
#include "core/base/namerule.h"
#include "core/model/descriptionfile.h"
#include "testfiles.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDirIterator>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <xlsxwriter.h>
#include <zlib.h>

#include <algorithm>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

// ---- archives built byte by byte, so that every field can be made to lie -----------------

struct Raw
{
    Raw(QByteArray n, QByteArray d, quint16 m = 8, quint16 f = 0)
        : name(std::move(n)), data(std::move(d)), method(m), flags(f)
    {
    }
    QByteArray name;
    QByteArray data;
    quint16 method = 8;
    quint16 flags = 0;
    quint16 madeBy = 0x0314;
    quint32 attributes = 0100644u << 16;
    QByteArray payload; // replaces the compressed data when set
    bool hasPayload = false;
};

struct Built
{
    QByteArray zip;
    QList<int> local, central;
    int end = 0;
};

QByteArray rawDeflate(const QByteArray &data)
{
    z_stream s{};
    deflateInit2(&s, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    QByteArray out(int(deflateBound(&s, uLong(data.size()))), '\0');
    s.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
    s.avail_in = uInt(data.size());
    s.next_out = reinterpret_cast<Bytef *>(out.data());
    s.avail_out = uInt(out.size());
    deflate(&s, Z_FINISH);
    out.resize(int(s.total_out));
    deflateEnd(&s);
    return out;
}

void add16(QByteArray &b, quint32 v) { b.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF)); }
void add32(QByteArray &b, quint32 v) { add16(b, v & 0xFFFF); add16(b, v >> 16); }
quint32 get32(const QByteArray &b, int at)
{
    return quint32(quint8(b[at])) | quint32(quint8(b[at + 1])) << 8 | quint32(quint8(b[at + 2])) << 16
        | quint32(quint8(b[at + 3])) << 24;
}
QByteArray set16(QByteArray b, int at, quint32 v) { b[at] = char(v & 0xFF); b[at + 1] = char((v >> 8) & 0xFF); return b; }
QByteArray set32(QByteArray b, int at, quint32 v) { return set16(set16(b, at, v & 0xFFFF), at + 2, v >> 16); }
// The same 32-bit change in a member's local header and its central record.
QByteArray both32(const Built &z, int i, int localField, quint32 delta)
{
    const QByteArray b = set32(z.zip, z.local[i] + localField, get32(z.zip, z.local[i] + localField) + delta);
    return set32(b, z.central[i] + localField + 2, get32(b, z.central[i] + localField + 2) + delta);
}

Built build(const QList<Raw> &members, const QByteArray &comment = {})
{
    Built z;
    QByteArray central;
    for (const Raw &m : members) {
        const QByteArray body = m.hasPayload ? m.payload : m.method == 8 ? rawDeflate(m.data) : m.data;
        const quint32 crc = quint32(crc32(0, reinterpret_cast<const Bytef *>(m.data.constData()), uInt(m.data.size())));
        QByteArray common;
        add16(common, m.flags);
        add16(common, m.method);
        add32(common, 0x5A6B7C8D); // a valid DOS time and date
        add32(common, crc);
        add32(common, quint32(body.size()));
        add32(common, quint32(m.data.size()));
        add16(common, quint32(m.name.size()));
        add16(common, 0);
        z.local.append(int(z.zip.size()));
        z.central.append(int(central.size()));
        add32(central, 0x02014b50);
        add16(central, m.madeBy);
        add16(central, 20);
        central += common;
        add16(central, 0);
        add16(central, 0);
        add16(central, 0);
        add32(central, m.attributes);
        add32(central, quint32(z.zip.size()));
        central += m.name;
        add32(z.zip, 0x04034b50);
        add16(z.zip, 20);
        z.zip += common + m.name + body;
    }
    for (int &c : z.central)
        c += int(z.zip.size());
    const int centralOffset = int(z.zip.size());
    z.zip += central;
    z.end = int(z.zip.size());
    add32(z.zip, 0x06054b50);
    add32(z.zip, 0);
    add16(z.zip, quint32(members.size()));
    add16(z.zip, quint32(members.size()));
    add32(z.zip, quint32(central.size()));
    add32(z.zip, quint32(centralOffset));
    add16(z.zip, quint32(comment.size()));
    z.zip += comment;
    return z;
}

// ---- helpers --------------------------------------------------------------------------------

QString failure(const std::function<void()> &f)
{
    try {
        f();
    } catch (const MetrolaError &e) {
        return e.message();
    }
    return {};
}

QStringList tree(const QString &root)
{
    QStringList out;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        out << QDir(root).relativeFilePath(it.next());
    out.sort();
    return out;
}



int shell(const QString &dir, const QString &command, QByteArray *output = nullptr)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"PYTHONIOENCODING"_s, u"utf-8"_s);
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(dir);
    p.start(u"sh"_s, {u"-c"_s, command});
    p.waitForFinished(60000);
    if (output)
        *output = p.readAllStandardOutput();
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

// Plan-like bytes: long white runs broken by short strokes, so that pieces compress to very
// different lengths.
QByteArray planBytes(qsizetype size, quint32 seed)
{
    QByteArray b(size, '\xFF');
    QRandomGenerator rng(seed);
    for (qsizetype i = 0; i < size; i += rng.bounded(1, 4000))
        b[i] = char(rng.bounded(256));
    return b;
}

QByteArray noise(qsizetype size, quint32 seed)
{
    QByteArray b(size, '\0');
    QRandomGenerator(seed).fillRange(reinterpret_cast<quint32 *>(b.data()), size / 4);
    return b;
}

mode_t modeOf(const QString &path)
{
    struct stat st{};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st.st_mode & 07777;
}

const auto yes = [](const QString &) { return true; };

// Counts the bytes read through it.
class CountingBuffer : public QBuffer
{
public:
    qint64 bytesRead = 0;

protected:
    qint64 readData(char *data, qint64 size) override
    {
        const qint64 n = QBuffer::readData(data, size);
        bytesRead += std::max<qint64>(n, 0);
        return n;
    }
};

} // namespace

class TstZip : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void roundTrip_data();
    void roundTrip();
    void sameBytesWhateverTheThreads();
    void toolsAcceptWrittenArchive();
    void writerRefuses_data();
    void otherToolsShowCyrillicNames();
    void writerRefuses();
    void writerKeepsOldArchiveWhenDiskFills();
    void progressReachesHundred();
    void readsOtherTools_data();
    void readsOtherTools();
    void readsXlsxWorkbook();
    void refusesHostile_data();
    void refusesHostile();
    void refusesEveryCut();
    void survivesEveryFlippedByte();
    void unsafeNamesNeverExtracted_data();
    void unsafeNamesNeverExtracted();
    void namesFollowThePlanIdRule_data();
    void namesFollowThePlanIdRule();
    void memberSizeLimitTakesTheLargestPlan_data();
    void memberSizeLimitTakesTheLargestPlan();
    void replaceQuestion_data();
    void replaceQuestion();
    void attributes_data();
    void attributes();
    void verifyInflatesOnlyWhatWasNotExtracted();
};

void TstZip::roundTrip_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("data");
    const qsizetype piece = qsizetype(1) << 20;
    QTest::newRow("empty") << u"empty.csv"_s << QByteArray();
    QTest::newRow("exactly one piece") << u"p.bmp"_s << planBytes(piece, 1);
    QTest::newRow("one piece and a byte") << u"p.bmp"_s << planBytes(piece + 1, 2);
    QTest::newRow("many pieces") << u"p.bmp"_s << planBytes(3 * piece + 12345, 3);
    QTest::newRow("incompressible") << u"n.bin"_s << noise(2 * piece + 8, 4);
    QTest::newRow("cyrillic name") << u"этаж1.bmp"_s << planBytes(5000, 5);
}

void TstZip::roundTrip()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, data);
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath(u"in"_s));
    QDir().mkpath(dir.filePath(u"out"_s));
    QVERIFY(writeFile(dir.filePath(u"in/"_s + name), data));
    const QString archive = dir.filePath(u"x.zip"_s);
    QCOMPARE(ZipWriter::packFiles({dir.filePath(u"in/"_s + name)}, archive), 1);
    QCOMPARE(shell(dir.path(), u"unzip -tq x.zip"_s), 0);
    QCOMPARE(shell(dir.path(), u"python3 -c 'import zipfile; assert zipfile.ZipFile(\"x.zip\").testzip() is None'"_s), 0);

    ZipReader reader(archive);
    QCOMPARE(reader.memberNames(), QStringList{name});
    QCOMPARE(reader.readMember(name), data);
    QCOMPARE(reader.extract({name}, dir.filePath(u"out"_s)), 1);
    QCOMPARE(readFile(dir.filePath(u"out/"_s + name)), data);
}

void TstZip::sameBytesWhateverTheThreads()
{
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath(u"plan.bmp"_s), planBytes(5 * (1 << 20) + 7, 9)));
    QVERIFY(writeFile(dir.filePath(u"metrola.csv"_s), "1;2;3\r\n"));
    QByteArray first;
    for (int threads : {1, 2, 3, 8, 1}) {
        ZipWriter w(dir.filePath(u"x.zip"_s));
        w.addFile(dir.filePath(u"plan.bmp"_s));
        w.addFile(dir.filePath(u"metrola.csv"_s));
        w.setThreadCount(threads);
        QCOMPARE(w.write(), 2);
        const QByteArray bytes = readFile(dir.filePath(u"x.zip"_s));
        if (first.isEmpty())
            first = bytes;
        QVERIFY2(bytes == first, qPrintable(u"differs with %1 threads"_s.arg(threads)));
    }
}

void TstZip::toolsAcceptWrittenArchive()
{
    QTemporaryDir dir;
    struct In { QString name; QByteArray data; QFile::Permissions perms; QString mode; };
    const auto rw = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;
    const QList<In> inputs = {
        {u"этаж1.bmp"_s, planBytes(2500000, 11), rw, u"0o100644"_s},
        {u"metrola.csv"_s, "Этаж;1\r\n", QFile::ReadOwner | QFile::ReadGroup, u"0o100440"_s},
        {u"run.sh"_s, "echo\n", rw | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther, u"0o100644"_s},
        {u"empty.txt"_s, {}, rw, u"0o100644"_s},
    };
    const QDateTime when(QDate(2023, 5, 17), QTime(13, 45, 31));
    QStringList paths, expected;
    for (const In &in : inputs) {
        const QString path = dir.filePath(in.name);
        QVERIFY(writeFile(path, in.data));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadWrite) && f.setFileTime(when, QFileDevice::FileModificationTime));
        QVERIFY(f.setPermissions(in.perms));
        paths << path;
        expected << u"%1 %2 (2023, 5, 17, 13, 45, 30) %3"_s.arg(
            in.name, in.mode, QString::fromLatin1(QCryptographicHash::hash(in.data, QCryptographicHash::Md5).toHex()));
    }
    QCOMPARE(ZipWriter::packFiles(paths, dir.filePath(u"x.zip"_s)), 4);

    QCOMPARE(shell(dir.path(), u"unzip -tq x.zip"_s), 0);
    QByteArray listing;
    QCOMPARE(shell(dir.path(),
                   u"python3 -c 'import zipfile,hashlib\n"
                   "z=zipfile.ZipFile(\"x.zip\",metadata_encoding=\"cp1251\")\n"
                   "assert z.testzip() is None\n"
                   "for i in z.infolist(): print(i.filename,oct(i.external_attr>>16),i.date_time,"
                   "hashlib.md5(z.read(i)).hexdigest())'"_s,
                   &listing),
             0);
    QCOMPARE(QString::fromUtf8(listing).split(u'\n', Qt::SkipEmptyParts), expected);

    // Read back by us, the times come back as well.
    QDir().mkpath(dir.filePath(u"out"_s));
    QCOMPARE(ZipReader(dir.filePath(u"x.zip"_s)).extract({inputs[0].name}, dir.filePath(u"out"_s)), 1);
    QCOMPARE(QFileInfo(dir.filePath(u"out/"_s + inputs[0].name)).lastModified(), when.addSecs(-1));
}

// The names stay Windows-1251 bytes for every copy of the program, and unzip and Python find
// the UTF-8 name beside them, bound to those bytes by their CRC.
void TstZip::otherToolsShowCyrillicNames()
{
    QTemporaryDir dir;
    ZipWriter writer(dir.filePath(u"x.zip"_s));
    const QStringList names{u"этаж1.bmp"_s, u"metrola.csv"_s, u"Склад №2.bmp"_s};
    for (const QString &name : names)
        writer.addMember(name, name.toUtf8());
    QCOMPARE(writer.write(), 3);

    QByteArray listing;
    QCOMPARE(shell(dir.path(), u"LC_ALL=C.UTF-8 unzip -Z1 x.zip"_s, &listing), 0);
    QCOMPARE(QString::fromUtf8(listing).split(u'\n', Qt::SkipEmptyParts), names);
    QCOMPARE(shell(dir.path(),
                   u"python3 -c 'import zipfile,zlib,struct\n"
                   "for i in zipfile.ZipFile(\"x.zip\").infolist():\n"
                   " raw=i.orig_filename.encode(\"cp437\")\n"
                   " e=i.extra\n"
                   " while e and struct.unpack(\"<H\",e[:2])[0]!=0x7075: e=e[4+struct.unpack(\"<H\",e[2:4])[0]:]\n"
                   " if not e: print(raw.decode(\"ascii\")); continue\n"
                   " n=struct.unpack(\"<H\",e[2:4])[0]\n"
                   " assert e[4]==1 and struct.unpack(\"<I\",e[5:9])[0]==zlib.crc32(raw)\n"
                   " assert raw==e[9:4+n].decode(\"utf-8\").encode(\"cp1251\")\n"
                   " print(e[9:4+n].decode(\"utf-8\"))'"_s,
                   &listing),
             0);
    QCOMPARE(QString::fromUtf8(listing).split(u'\n', Qt::SkipEmptyParts), names);
    ZipReader reader(dir.filePath(u"x.zip"_s));
    QCOMPARE(reader.memberNames(), names);
}

void TstZip::writerRefuses_data()
{
    QTest::addColumn<QString>("inputName"); // a file created in its own folder, or empty
    QTest::addColumn<int>("sparseGiB");     // > 0: the file is this large and sparse
    QTest::addColumn<QString>("memberName"); // given in memory, or empty
    QTest::addColumn<int>("memberCount");
    QTest::addColumn<QString>("message");
    QTest::newRow("missing file") << u"gone.bmp"_s << -1 << QString() << 0 << u"файл не найден"_s;
    QTest::newRow("name outside cp1251") << u"平面.bmp"_s << 0 << QString() << 0 << u"Windows-1251"_s;
    QTest::newRow("same name twice") << u"plan.bmp"_s << 0 << u"plan.bmp"_s << 1 << u"Два файла"_s;
    QTest::newRow("name too long") << QString() << 0 << QString(70000, u'я') << 1 << u"длиннее 65535"_s;
    QTest::newRow("too many members") << QString() << 0 << u"m"_s << 65536 << u"больше 65535"_s;
    QTest::newRow("folder in name") << QString() << 0 << u"a/b.bmp"_s << 1 << u"нельзя дать"_s;
    QTest::newRow("over 4 GiB") << u"huge.bmp"_s << 4 << QString() << 0 << u"больше 4 ГиБ"_s;
}

void TstZip::writerRefuses()
{
    QFETCH(QString, inputName);
    QFETCH(int, sparseGiB);
    QFETCH(QString, memberName);
    QFETCH(int, memberCount);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QString archive = dir.filePath(u"project.zip"_s);
    QVERIFY(writeFile(archive, "previous archive"));
    QDir().mkpath(dir.filePath(u"in"_s));
    ZipWriter w(archive);
    if (!inputName.isEmpty()) {
        const QString path = dir.filePath(u"in/"_s + inputName);
        if (sparseGiB >= 0) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.resize(qint64(sparseGiB) << 30));
        }
        w.addFile(path);
    }
    for (int i = 0; i < memberCount; ++i)
        w.addMember(memberCount > 1 ? memberName + QString::number(i) : memberName, "data");
    const QStringList before = tree(dir.path());

    const QString error = failure([&] { w.write(); });
    QVERIFY2(error.contains(message), qPrintable(error));
    QVERIFY2(error.contains(u"прежний файл сохранён"_s), qPrintable(error));
    QCOMPARE(readFile(archive), QByteArray("previous archive"));
    QCOMPARE(tree(dir.path()), before);
}

void TstZip::writerKeepsOldArchiveWhenDiskFills()
{
    // A file size limit makes writes fail with EFBIG the way a full disk fails them.
    QTemporaryDir dir;
    const QString archive = dir.filePath(u"project.zip"_s);
    QVERIFY(writeFile(archive, "previous archive"));
    ZipWriter w(archive);
    w.addMember(u"plan.bmp"_s, noise(3 << 20, 7));
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 1 << 20;
    setrlimit(RLIMIT_FSIZE, &small);
    const QString error = failure([&] { w.write(); });
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    QVERIFY2(error.contains(u"Не удалось записать архив"_s) && error.contains(u"прежний файл сохранён"_s),
             qPrintable(error));
    QCOMPARE(readFile(archive), QByteArray("previous archive"));
    QCOMPARE(tree(dir.path()), QStringList{u"project.zip"_s});
}

void TstZip::progressReachesHundred()
{
    QTemporaryDir dir;
    const QString archive = dir.filePath(u"x.zip"_s);
    QList<int> seen;
    const auto record = [&](int p) { seen.append(p); };
    const auto checkSeen = [&](int minimumCalls) {
        QVERIFY2(seen.size() >= minimumCalls, qPrintable(QString::number(seen.size())));
        QCOMPARE(seen.first(), 0);
        QCOMPARE(seen.last(), 100);
        QVERIFY(std::is_sorted(seen.cbegin(), seen.cend()));
    };
    ZipWriter w(archive);
    w.addMember(u"a.bmp"_s, planBytes(6 << 20, 3));
    w.addMember(u"b.csv"_s, "x");
    w.setProgress(record);
    w.write();
    checkSeen(6);

    seen.clear();
    ZipReader r(archive);
    QCOMPARE(r.extract({u"a.bmp"_s, u"b.csv"_s}, dir.path(), {}, record), 2);
    checkSeen(3);
}

void TstZip::readsOtherTools_data()
{
    QTest::addColumn<QString>("command"); // run in a folder holding a.txt and b.bin; writes out.zip
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("sources");
    const QStringList ab{u"a.txt"_s, u"b.bin"_s};
    const QString py = u"python3 -c 'import zipfile as z,sys\n"_s;
    QTest::newRow("zip -9") << u"zip -q -9 out.zip a.txt b.bin"_s << ab << ab;
    QTest::newRow("zip -0 stored") << u"zip -q -0 out.zip a.txt b.bin"_s << ab << ab;
    QTest::newRow("zip -fd descriptors") << u"zip -q -fd out.zip a.txt b.bin"_s << ab << ab;
    QTest::newRow("zip into a pipe") << u"zip -q - a.txt b.bin | cat > out.zip"_s << ab << ab;
    QTest::newRow("zip pipe to pipe") << u"cat a.txt | zip -q - - | cat > out.zip"_s << QStringList{u"-"_s}
                                      << QStringList{u"a.txt"_s};
    QTest::newRow("zip with comment") << u"echo note | zip -q -z out.zip a.txt b.bin"_s << ab << ab;
    QTest::newRow("python stored") << py + u"f=z.ZipFile(\"out.zip\",\"w\")\nf.write(\"a.txt\");f.write(\"b.bin\");f.close()'"_s
                                   << ab << ab;
    QTest::newRow("python deflated, comment, utf-8 name")
        << py + u"f=z.ZipFile(\"out.zip\",\"w\",z.ZIP_DEFLATED)\nf.comment=b\"PK\\x05\\x06\"+b\"x\"*40\n"
                "f.write(\"a.txt\",\"\\u044d\\u0442\\u0430\\u0436.txt\");f.write(\"b.bin\");f.close()'"_s
        << QStringList{u"этаж.txt"_s, u"b.bin"_s} << ab;
    QTest::newRow("python to a pipe")
        << py + u"f=z.ZipFile(sys.stdout.buffer,\"w\",z.ZIP_DEFLATED)\nf.write(\"a.txt\");f.write(\"b.bin\");f.close()' | cat > out.zip"_s
        << ab << ab;
    QTest::newRow("python empty") << py + u"z.ZipFile(\"out.zip\",\"w\").close()'"_s << QStringList() << QStringList();

    // Cyrillic names as tools on Linux store them. Python is made to write the name bytes it is
    // given, without the UTF-8 flag, and optionally Info-ZIP's Unicode path field (0x7075).
    const QStringList etazh{u"этаж.txt"_s, u"b.bin"_s};
    QTest::newRow("zip in C.UTF-8: utf-8 bytes, no flag")
        << u"cp a.txt этаж.txt && LC_ALL=C.UTF-8 zip -q -9 out.zip этаж.txt b.bin"_s << etazh << ab;
    const QString named = py + u"import struct,zlib\nn=\"\\u044d\\u0442\\u0430\\u0436.txt\"\n"
                               "z.ZipInfo._encodeFilenameFlags=lambda s:(s.filename.encode(\"%1\"),s.flag_bits)\n"
                               "f=z.ZipFile(\"out.zip\",\"w\",z.ZIP_DEFLATED)\ni=z.ZipInfo(n)\n"
                               "u=n.encode(\"utf-8\");i.extra=%2\n"
                               "f.writestr(i,open(\"a.txt\",\"rb\").read());f.write(\"b.bin\");f.close()'"_s;
    const auto python = [&named](const QString &encoding, const QString &extra) {
        return named.arg(encoding, extra);
    };
    const QString field = u"struct.pack(\"<HHBI\",0x7075,5+len(u),1,zlib.crc32(n.encode(\"cp866\")))+u"_s;
    QTest::newRow("python, utf-8 bytes without the flag") << python(u"utf-8"_s, u"b\"\""_s) << etazh << ab;
    QTest::newRow("python, windows-1251 bytes") << python(u"cp1251"_s, u"b\"\""_s) << etazh << ab;
    QTest::newRow("python, dos bytes with a unicode path field") << python(u"cp866"_s, field) << etazh << ab;
    // A field whose CRC belongs to other bytes was left behind by a renaming tool: the name
    // itself counts, read as Windows-1251.
    QTest::newRow("python, stale unicode path field")
        << python(u"cp866"_s, QString(field).replace(u"n.encode(\"cp866\")"_s, u"b\"old\""_s))
        << QStringList{u"нв\u00A0¦.txt"_s, u"b.bin"_s} << ab;
}

void TstZip::readsOtherTools()
{
    QFETCH(QString, command);
    QFETCH(QStringList, names);
    QFETCH(QStringList, sources);
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath(u"a.txt"_s), QByteArray("line of a plan description\n").repeated(500)));
    QVERIFY(writeFile(dir.filePath(u"b.bin"_s), noise(100000, 1) + QByteArray(300000, '\0')));
    QCOMPARE(shell(dir.path(), command), 0);
    QDir().mkpath(dir.filePath(u"out"_s));

    ZipReader reader(dir.filePath(u"out.zip"_s));
    QCOMPARE(reader.memberNames(), names);
    QCOMPARE(reader.extract(names, dir.filePath(u"out"_s)), names.size());
    for (qsizetype i = 0; i < names.size(); ++i)
        QCOMPARE(readFile(dir.filePath(u"out/"_s + names[i])), readFile(dir.filePath(sources[i])));
}

void TstZip::readsXlsxWorkbook()
{
    QTemporaryDir dir;
    const QByteArray path = QFile::encodeName(dir.filePath(u"areas.xlsx"_s));
    lxw_workbook *workbook = workbook_new(path.constData());
    lxw_worksheet *sheet = workbook_add_worksheet(workbook, nullptr);
    for (int row = 0; row < 200; ++row)
        worksheet_write_string(sheet, lxw_row_t(row), 0, "Помещение", nullptr);
    QCOMPARE(workbook_close(workbook), LXW_NO_ERROR);

    ZipReader reader(QString::fromLocal8Bit(path));
    reader.verify();
    QVERIFY(reader.memberCount() > 5);
    // Everything but the content-types part lives in folders and is never extracted.
    QCOMPARE(reader.memberNames(), QStringList{u"[Content_Types].xml"_s});
    QVERIFY(reader.readMember(u"[Content_Types].xml"_s).startsWith("<?xml"));
}

void TstZip::refusesHostile_data()
{
    QTest::addColumn<QByteArray>("zip");
    QTest::addColumn<qint64>("limit");
    QTest::addColumn<QString>("message");
    const qint64 big = ZipReader::DefaultMemberSizeLimit;
    const QByteArray text = QByteArray("room 101; room 102; ").repeated(40);
    const Built z = build({{"a.txt", text}, {"b.txt", "stored", 0}});
    const int e = z.end;
    const auto with = [&](QList<Raw> members) { return build(members).zip; };
    Raw bad{"a.txt", text};
    bad.hasPayload = true;

    QTest::newRow("empty file") << QByteArray() << big << u"файл пуст"_s;
    QTest::newRow("not a zip") << QByteArray("plain text, not an archive").repeated(3) << big << u"не найдено оглавление"_s;
    QTest::newRow("comment runs past end") << set16(z.zip, e + 20, 5) << big << u"не найдено оглавление"_s;
    QTest::newRow("directory offset +1") << set32(z.zip, e + 16, get32(z.zip, e + 16) + 1) << big << u"не сходятся"_s;
    QTest::newRow("directory size -1") << set32(z.zip, e + 12, get32(z.zip, e + 12) - 1) << big << u"не сходятся"_s;
    QTest::newRow("count too high") << set16(set16(z.zip, e + 8, 3), e + 10, 3) << big << u"указано файлов: 3"_s;
    QTest::newRow("count 65535") << set16(set16(z.zip, e + 8, 0xFFFF), e + 10, 0xFFFF) << big << u"указано файлов: 65535"_s;
    QTest::newRow("count too low") << set16(set16(z.zip, e + 8, 1), e + 10, 1) << big << u"больше файлов"_s;
    QTest::newRow("two counts differ") << set16(z.zip, e + 8, 1) << big << u"двумя разными"_s;
    QTest::newRow("disk number 1") << set16(z.zip, e + 4, 1) << big << u"томов"_s;
    QTest::newRow("member on disk 1") << set16(z.zip, z.central[1] + 34, 1) << big << u"томов"_s;
    QTest::newRow("entry runs past directory") << set16(z.zip, z.central[1] + 28, 200) << big << u"за его конец"_s;
    QTest::newRow("broken directory record") << set16(z.zip, z.central[1], 0) << big << u"№ 2 испорчена"_s;
    QTest::newRow("local signature") << set16(z.zip, z.local[1], 0) << big << u"«b.txt» испорчен"_s;
    QTest::newRow("local name") << set16(z.zip, z.local[0] + 30, 'x') << big << u"не совпадает"_s;
    QTest::newRow("local method") << set16(z.zip, z.local[0] + 8, 0) << big << u"не совпадает"_s;
    QTest::newRow("local size") << set32(z.zip, z.local[0] + 22, 7) << big << u"не совпадает"_s;
    QTest::newRow("local header past data") << set32(z.zip, z.central[1] + 42, quint32(z.central[0])) << big << u"за пределами"_s;
    QTest::newRow("stored sizes differ") << both32(z, 1, 18, 100) << big << u"два разных размера"_s;
    QTest::newRow("compressed past directory") << both32(z, 0, 18, 4000) << big << u"выходят за пределы"_s;
    QTest::newRow("same local data") << set32(z.zip, z.central[1] + 42, 0) << big << u"одни и те же байты"_s;
    QTest::newRow("overlapping data") << both32(z, 0, 18, 10) << big << u"одни и те же байты"_s;
    QTest::newRow("more output than declared") << both32(z, 0, 22, quint32(-1)) << big << u"длиннее, чем указано"_s;
    QTest::newRow("less output than declared") << both32(z, 0, 22, 1) << big << u"короче, чем указано"_s;
    QTest::newRow("crc mismatch") << both32(z, 0, 14, 1) << big << u"контрольная сумма"_s;
    bad.payload = "\xFF\xFF\xFF\xFF garbage";
    QTest::newRow("garbage deflate") << with({bad}) << big << u"испорчены"_s;
    bad.payload = rawDeflate(text).chopped(3);
    QTest::newRow("deflate cut short") << with({bad}) << big << u"обрываются"_s;
    bad.payload = rawDeflate(text) + "tail";
    QTest::newRow("bytes after deflate") << with({bad}) << big << u"лишние байты"_s;
    QTest::newRow("encrypted") << with({{"a.txt", text, 8, 1}}) << big << u"зашифрован"_s;
    QTest::newRow("bzip2") << with({{"a.txt", text, 12}}) << big << u"BZIP2"_s;
    QTest::newRow("lzma") << with({{"a.txt", text, 14}}) << big << u"LZMA"_s;
    QTest::newRow("zip64 size") << set32(z.zip, z.central[0] + 24, 0xFFFFFFFF) << big << u"ZIP64"_s;
    QTest::newRow("zip64 directory offset") << set32(z.zip, e + 16, 0xFFFFFFFF) << big << u"ZIP64"_s;
    QByteArray locator;
    add32(locator, 0x07064b50);
    locator += QByteArray(16, '\0');
    QTest::newRow("zip64 locator") << z.zip.left(e) + locator + z.zip.mid(e) << big << u"ZIP64"_s;
    QTest::newRow("duplicate names") << with({{"a.txt", text}, {"a.txt", "x"}}) << big << u"дважды"_s;
    QTest::newRow("duplicate across encodings")
        << with({{"\xFD.txt", "1"}, {"\xD1\x8D.txt", "2", 8, 0x800}}) << big << u"дважды"_s;
    QTest::newRow("over the size limit") << z.zip << qint64(text.size() - 1) << u"не больше"_s;
}

void TstZip::refusesHostile()
{
    QFETCH(QByteArray, zip);
    QFETCH(qint64, limit);
    QFETCH(QString, message);
    QString error = failure([&] { ZipReader(zip, u"x.zip"_s, limit).verify(); });
    QVERIFY2(error.startsWith(u"Архив «x.zip»"_s) && error.contains(message) && error.endsWith(u"Ничего не извлечено."_s),
             qPrintable(error));

    // From a file, into a folder where a.txt exists and may be replaced: nothing changes.
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath(u"x.zip"_s), zip));
    QDir().mkpath(dir.filePath(u"dest"_s));
    QVERIFY(writeFile(dir.filePath(u"dest/a.txt"_s), "old"));
    const QStringList before = tree(dir.path());
    error = failure([&] {
        ZipReader(dir.filePath(u"x.zip"_s), limit).extract({u"a.txt"_s, u"b.txt"_s}, dir.filePath(u"dest"_s), yes);
    });
    QVERIFY2(error.contains(message), qPrintable(error));
    QCOMPARE(tree(dir.path()), before);
    QCOMPARE(readFile(dir.filePath(u"dest/a.txt"_s)), QByteArray("old"));
}

void TstZip::refusesEveryCut()
{
    QTemporaryDir dir;
    ZipWriter w(dir.filePath(u"x.zip"_s));
    w.addMember(u"a.txt"_s, "first member, first member");
    w.addMember(u"этаж.bmp"_s, planBytes(3000, 1));
    w.write();
    const QByteArray zip = readFile(dir.filePath(u"x.zip"_s));
    for (qsizetype n = 0; n < zip.size(); ++n) {
        const QString error = failure([&] { ZipReader(zip.left(n), u"x.zip"_s).verify(); });
        QVERIFY2(error.contains(u"повреждён"_s), qPrintable(u"cut at %1: %2"_s.arg(n).arg(error)));
    }
}

void TstZip::survivesEveryFlippedByte()
{
    // Any single damaged byte must end in a clean refusal or in members that still match.
    const QByteArray a = "first member, first member";
    const QByteArray b = planBytes(3000, 1);
    const QByteArray zip = build({{"a.txt", a}, {"b.bmp", b, 0}}, "note").zip;
    for (qsizetype i = 0; i < zip.size(); ++i) {
        QByteArray damaged = zip;
        damaged[i] = char(damaged[i] ^ 0x5A);
        try {
            ZipReader r(damaged, u"x.zip"_s);
            r.verify();
            for (const QString &name : r.memberNames()) {
                const QByteArray data = r.readMember(name);
                QVERIFY2(data == a || data == b, qPrintable(u"byte %1"_s.arg(i)));
            }
        } catch (const MetrolaError &) {
        }
    }
}

void TstZip::unsafeNamesNeverExtracted_data()
{
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<bool>("utf8");
    for (const char *name : {"../evil.txt", "sub/evil.txt", "/tmp/evil.txt", "..\\evil.txt", "a\\b.txt", "..", ".",
                             "C:evil.txt", "c:evil.txt", "bell\x07.txt", "", "del\x7F.txt"})
        QTest::newRow(*name ? QByteArray(name).toPercentEncoding("/\\:").constData() : "(empty)") << QByteArray(name) << false;
    QTest::newRow("NUL inside") << QByteArray("evil.txt\0.bmp", 13) << false;
    QTest::newRow("C1 control") << QByteArray("a\xC2\x85.txt") << true;
    QTest::newRow("invalid utf-8") << QByteArray("a\xC3(.txt") << true;
}

void TstZip::unsafeNamesNeverExtracted()
{
    QFETCH(QByteArray, raw);
    QFETCH(bool, utf8);
    const QString decoded = utf8 ? QString::fromUtf8(raw) : QString::fromLatin1(raw);
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath(u"dest/sub"_s));
    QVERIFY(writeFile(dir.filePath(u"x.zip"_s), build({{raw, "evil", 0, quint16(utf8 ? 0x800 : 0)}, {"ok.txt", "fine"}}).zip));
    const QStringList before = tree(dir.path());

    ZipReader reader(dir.filePath(u"x.zip"_s));
    QCOMPARE(reader.memberNames(), QStringList{u"ok.txt"_s});
    QCOMPARE(reader.memberCount(), 2);
    QCOMPARE(reader.extract({decoded, u"ok.txt"_s}, dir.filePath(u"dest"_s), yes), 1);
    QVERIFY(!failure([&] { reader.readMember(decoded); }).isEmpty());
    QStringList after = before + QStringList{u"dest/ok.txt"_s};
    after.sort();
    QCOMPARE(tree(dir.path()), after); // nothing else, anywhere
}

void TstZip::namesFollowThePlanIdRule_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("safe");
    QTest::newRow("dots inside") << u"план..v2.bmp"_s << true;
    QTest::newRow("dots only, three") << u"..."_s << true;
    QTest::newRow("dot first") << u".plan.bmp"_s << true;
    QTest::newRow("colon inside") << u"plan:1.bmp"_s << true;
    QTest::newRow("cyrillic letter and colon") << u"Я:план.bmp"_s << true;
    QTest::newRow("drive prefix") << u"D:plan.bmp"_s << false;
    QTest::newRow("dot dot") << u".."_s << false;
    QTest::newRow("backslash") << u"a\\b.bmp"_s << false;
    QTest::newRow("NUL") << u"a"_s + QChar(0) + u"b.bmp"_s << false;
    QTest::newRow("C1 control") << u"a\u0085b.bmp"_s << false;
}

void TstZip::namesFollowThePlanIdRule()
{
    QFETCH(QString, name);
    QFETCH(bool, safe);
    QCOMPARE(ZipReader::isSafeMemberName(name), safe);
    QCOMPARE(NameRule::isBareFileName(name), safe);
    if (!safe)
        return;
    // Written by us and read back, the member is there under its name.
    QTemporaryDir dir;
    ZipWriter w(dir.filePath(u"x.zip"_s));
    w.addMember(name, "plan");
    w.write();
    ZipReader reader(dir.filePath(u"x.zip"_s));
    QCOMPARE(reader.memberNames(), QStringList{name});
    QCOMPARE(reader.readMember(name), QByteArray("plan"));
}

void TstZip::memberSizeLimitTakesTheLargestPlan_data()
{
    QTest::addColumn<qint64>("declared");
    QTest::addColumn<bool>("accepted");
    // A 24-bit plan near the loader's limit, and one of 1 GiB of 32-bit pixels with headers.
    QTest::newRow("800 MB") << qint64(800'000'000) << true;
    QTest::newRow("1 GiB of pixels and a header") << (qint64(1) << 30) + 138 << true;
    QTest::newRow("1.5 GiB") << (qint64(3) << 29) << false;
}

void TstZip::memberSizeLimitTakesTheLargestPlan()
{
    // Only the directory's claim is looked at when the archive is opened, so a small deflated
    // member can stand for a large one.
    QFETCH(qint64, declared);
    QFETCH(bool, accepted);
    const Built z = build({{"big.bmp", "small"}});
    const QByteArray zip = set32(set32(z.zip, z.local[0] + 22, quint32(declared)), z.central[0] + 24, quint32(declared));
    const QString error = failure([&] { ZipReader(zip, u"x.zip"_s).memberNames(); });
    QVERIFY2(error.isEmpty() == accepted, qPrintable(error));
}

void TstZip::replaceQuestion_data()
{
    QTest::addColumn<int>("answer"); // 0 no, 1 yes, -1 no question given
    QTest::addColumn<bool>("symlink");
    QTest::addColumn<int>("extracted");
    QTest::addColumn<QByteArray>("afterwards");
    QTest::newRow("no") << 0 << false << 1 << QByteArray("old");
    QTest::newRow("yes") << 1 << false << 2 << QByteArray("new");
    QTest::newRow("nobody asked") << -1 << false << 1 << QByteArray("old");
    QTest::newRow("yes over a link") << 1 << true << 2 << QByteArray("new");
}

void TstZip::replaceQuestion()
{
    QFETCH(int, answer);
    QFETCH(bool, symlink);
    QFETCH(int, extracted);
    QFETCH(QByteArray, afterwards);
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath(u"dest"_s));
    QVERIFY(writeFile(dir.filePath(symlink ? u"outside.txt"_s : u"dest/a.txt"_s), "old"));
    if (symlink)
        QVERIFY(QFile::link(dir.filePath(u"outside.txt"_s), dir.filePath(u"dest/a.txt"_s)));
    const QByteArray zip = build({{"a.txt", "new"}, {"b.txt", "b"}}).zip;
    QStringList asked;
    ZipReader::ReplaceQuestion ask;
    if (answer >= 0)
        ask = [&](const QString &name) { asked << name; return answer == 1; };

    QCOMPARE(ZipReader(zip, u"x.zip"_s).extract({u"a.txt"_s, u"b.txt"_s, u"nope.txt"_s, u"b.txt"_s},
                                                dir.filePath(u"dest"_s), ask),
             extracted);
    QCOMPARE(asked, answer >= 0 ? QStringList{u"a.txt"_s} : QStringList());
    QCOMPARE(readFile(dir.filePath(u"dest/a.txt"_s)), afterwards);
    QCOMPARE(readFile(dir.filePath(u"dest/b.txt"_s)), QByteArray("b"));
    if (symlink) {
        QCOMPARE(readFile(dir.filePath(u"outside.txt"_s)), QByteArray("old"));
        QVERIFY(!QFileInfo(dir.filePath(u"dest/a.txt"_s)).isSymLink());
    }
}

void TstZip::attributes_data()
{
    QTest::addColumn<int>("host");
    QTest::addColumn<uint>("attributes");
    QTest::addColumn<uint>("mode");
    QTest::newRow("unix 644") << 3 << (0100644u << 16) << 0644u;
    QTest::newRow("unix 755 loses x") << 3 << (0100755u << 16) << 0644u;
    QTest::newRow("unix read-only") << 3 << (0100444u << 16) << 0444u;
    QTest::newRow("unix 600") << 3 << (0100600u << 16) << 0600u;
    QTest::newRow("unix none keeps owner read") << 3 << (0100000u << 16) << 0400u;
    QTest::newRow("unix write-only") << 3 << (0100220u << 16) << 0620u;
    QTest::newRow("unix without mode") << 3 << 0x20u << 0644u;
    QTest::newRow("dos read-only") << 0 << 0x21u << 0444u;
    QTest::newRow("dos writable") << 0 << 0x20u << 0644u;
    QTest::newRow("ntfs not trusted") << 10 << (0100777u << 16 | 1) << 0644u;
}

void TstZip::attributes()
{
    QFETCH(int, host);
    QFETCH(uint, attributes);
    QFETCH(uint, mode);
    QTemporaryDir dir;
    Raw m{"a.txt", "data"};
    m.madeBy = quint16(host << 8 | 20);
    m.attributes = attributes;
    QCOMPARE(ZipReader(build({m}).zip, u"x.zip"_s).extract({u"a.txt"_s}, dir.path()), 1);
    QCOMPARE(uint(modeOf(dir.filePath(u"a.txt"_s))), mode);
}

void TstZip::verifyInflatesOnlyWhatWasNotExtracted()
{
    const QByteArray zip = build({{"a.bmp", planBytes(400000, 3)}, {"b.bmp", planBytes(300000, 4)}}).zip;
    CountingBuffer device;
    device.setData(zip);
    QVERIFY(device.open(QIODevice::ReadOnly));
    ZipReader reader(&device, u"x.zip"_s);
    QTemporaryDir dir;
    device.bytesRead = 0;
    QCOMPARE(reader.extract({u"b.bmp"_s}, dir.path()), 1);
    reader.verify();
    // Each member's data once, and nothing twice.
    QVERIFY2(device.bytesRead < zip.size(), qPrintable(QString::number(device.bytesRead)));
    QVERIFY(device.bytesRead > zip.size() * 9 / 10);
}

QTEST_GUILESS_MAIN(TstZip)
#include "tst_zip.moc"
