// Writes the seed corpora: make_seeds OUTDIR makes OUTDIR/{zipreader,descriptionfile,roundtrip}.
// Archives come from ZipWriter itself and from a byte-level builder that can produce what the
// writer never does (stored members, descriptors, comments, UTF-8 names, odd methods), so the
// fuzzer starts next to every branch of the reader.
#include "archive/zipwriter.h"
#include "model/captions.h"
#include "model/descriptionfile.h"
#include "model/recordtable.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <zlib.h>

#include <cstdio>

namespace {

QString outDir;

void save(const QString &target, const QString &name, const QByteArray &bytes)
{
    QDir().mkpath(outDir + u'/' + target);
    QFile f(outDir + u'/' + target + u'/' + name);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(f.fileName()));
        std::exit(1);
    }
}

QByteArray viaWriter(const QList<std::pair<QString, QByteArray>> &members)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("seed.zip"));
    ZipWriter w(path);
    w.setThreadCount(1);
    for (const auto &[name, data] : members)
        w.addMember(name, data);
    w.write();
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

QByteArray rawDeflate(const QByteArray &data)
{
    z_stream s{};
    deflateInit2(&s, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    QByteArray out(qsizetype(deflateBound(&s, uLong(data.size()))), '\0');
    s.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
    s.avail_in = uInt(data.size());
    s.next_out = reinterpret_cast<Bytef *>(out.data());
    s.avail_out = uInt(out.size());
    deflate(&s, Z_FINISH);
    out.resize(qsizetype(s.total_out));
    deflateEnd(&s);
    return out;
}

void add16(QByteArray &b, quint32 v) { b.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF)); }
void add32(QByteArray &b, quint32 v) { add16(b, v & 0xFFFF); add16(b, v >> 16); }

struct Raw
{
    QByteArray name;
    QByteArray data;
    quint16 method = 8;
    quint16 flags = 0;
    bool descriptor = false; // sizes and CRC after the data, zero in the local header
};

QByteArray byHand(const QList<Raw> &members, const QByteArray &comment = {})
{
    QByteArray zip, central;
    for (const Raw &m : members) {
        const QByteArray body = m.method == 8 ? rawDeflate(m.data) : m.data;
        const quint32 crc = quint32(crc32(0, reinterpret_cast<const Bytef *>(m.data.constData()), uInt(m.data.size())));
        const quint16 flags = m.flags | (m.descriptor ? 8 : 0);
        const auto common = [&](bool local) {
            QByteArray c;
            add16(c, flags);
            add16(c, m.method);
            add32(c, 0x5A6B7C8D);
            const bool zero = local && m.descriptor;
            add32(c, zero ? 0 : crc);
            add32(c, zero ? 0 : quint32(body.size()));
            add32(c, zero ? 0 : quint32(m.data.size()));
            add16(c, quint32(m.name.size()));
            add16(c, 0);
            return c;
        };
        add32(central, 0x02014b50);
        add16(central, 0x0314);
        add16(central, 20);
        central += common(false);
        add16(central, 0);
        add16(central, 0);
        add16(central, 0);
        add32(central, 0100644u << 16);
        add32(central, quint32(zip.size()));
        central += m.name;
        add32(zip, 0x04034b50);
        add16(zip, 20);
        zip += common(true) + m.name + body;
        if (m.descriptor) {
            add32(zip, 0x08074b50);
            add32(zip, crc);
            add32(zip, quint32(body.size()));
            add32(zip, quint32(m.data.size()));
        }
    }
    const quint32 centralOffset = quint32(zip.size());
    zip += central;
    add32(zip, 0x06054b50);
    add32(zip, 0);
    add16(zip, quint32(members.size()));
    add16(zip, quint32(members.size()));
    add32(zip, quint32(central.size()));
    add32(zip, centralOffset);
    add16(zip, quint32(comment.size()));
    return zip + comment;
}

QByteArray planBytes(qsizetype size, quint32 seed)
{
    QByteArray b(size, '\xFF');
    QRandomGenerator rng(seed);
    for (qsizetype i = 0; i < size; i += rng.bounded(1, 400))
        b[i] = char(rng.bounded(256));
    return b;
}

QByteArray descriptionFile(int records, quint32 seed)
{
    QRandomGenerator rng(seed);
    std::vector<RecordTable::Row> rows;
    for (int i = 0; i < records; ++i) {
        rows.push_back({QStringLiteral("этаж%1.bmp").arg(i % 3 + 1), QStringLiteral("Комната %1").arg(100 + i),
                        RecordTable::typeCodes()[size_t(i % 5)], QStringLiteral("%1,5").arg(rng.bounded(10, 300)),
                        QStringLiteral("ООО «Арендатор %1»").arg(i), QString(),
                        QString::number(rng.bounded(1, 0xFFFFFF)), QString::number(rng.bounded(2000)),
                        QString::number(rng.bounded(1500))});
    }
    rows.push_back({QString(), QString(), QString(), QString(), QString(), QString(),
                    QStringLiteral("01.02.2024"), RecordTable::finishedMarker(), QStringLiteral("03.02.2024")});
    RecordTable table;
    table.replaceRows(rows);
    return DescriptionFile::build(Captions::defaults(), table);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds OUTDIR\n");
        return 2;
    }
    outDir = QString::fromLocal8Bit(argv[1]);

    const QByteArray csv0 = descriptionFile(0, 1);
    const QByteArray csv3 = descriptionFile(3, 2);
    const QByteArray csv40 = descriptionFile(40, 3);
    for (const QString target : {QStringLiteral("descriptionfile"), QStringLiteral("roundtrip")}) {
        save(target, QStringLiteral("empty-table.csv"), csv0);
        save(target, QStringLiteral("three-records.csv"), csv3);
        save(target, QStringLiteral("forty-records.csv"), csv40);
        save(target, QStringLiteral("bad-key.csv"), QByteArray(csv3).replace("\r\n;;;", "\r\nx.bmp;a;1;2;t;;12ab;1;1;\r\n;;;"));
        save(target, QStringLiteral("bare-lf.csv"), QByteArray(csv3).replace("\r\n", "\n"));
        save(target, QStringLiteral("header-line.csv"), QByteArray("Metrola 1.8;\r\n") + csv3.mid(csv3.indexOf('\n') + 1));
    }
    save(QStringLiteral("descriptionfile"), QStringLiteral("unsafe-plan-id.csv"),
         QByteArray(csv3).replace("\xfd\xf2\xe0\xe6" "1.bmp", "../1.bmp"));

    const QString z = QStringLiteral("zipreader");
    save(z, QStringLiteral("writer-empty.zip"), viaWriter({}));
    save(z, QStringLiteral("writer-project.zip"),
         viaWriter({{DescriptionFile::fileName(), csv3}, {QStringLiteral("этаж1.bmp"), planBytes(6000, 1)}}));
    save(z, QStringLiteral("writer-empty-member.zip"), viaWriter({{QStringLiteral("a"), QByteArray()}}));
    const QByteArray text = QByteArray("room 101; room 102; ").repeated(40);
    save(z, QStringLiteral("stored-and-deflated.zip"), byHand({{"a.txt", text}, {"b.txt", "stored", 0}}));
    save(z, QStringLiteral("descriptor.zip"), byHand({{"a.txt", text, 8, 0, true}, {"b.bin", "xyz", 0, 0, true}}));
    save(z, QStringLiteral("comment.zip"), byHand({{"a.txt", text}}, "PK\x05\x06 in a comment"));
    save(z, QStringLiteral("utf8-name.zip"), byHand({{"\xD1\x8D.txt", "2", 8, 0x800}, {"\xFD.txt", "1"}}));
    save(z, QStringLiteral("unsafe-names.zip"),
         byHand({{"../evil.txt", "x"}, {"sub/a.txt", "y"}, {"C:x", "z", 0}, {"ok.txt", "ok"}}));
    save(z, QStringLiteral("encrypted.zip"), byHand({{"a.txt", text, 8, 1}}));
    save(z, QStringLiteral("bzip2.zip"), byHand({{"a.txt", text, 12}}));
    save(z, QStringLiteral("duplicate.zip"), byHand({{"a.txt", text}, {"a.txt", "x"}}));
    QByteArray zip64 = byHand({{"a.txt", text}});
    zip64.replace(zip64.size() - 6, 4, QByteArray(4, '\xFF'));
    save(z, QStringLiteral("zip64-offset.zip"), zip64);
    QByteArray cut = byHand({{"a.txt", text}});
    save(z, QStringLiteral("cut.zip"), cut.left(cut.size() / 2));
    return 0;
}
