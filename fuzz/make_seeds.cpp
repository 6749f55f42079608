// Writes the seed corpora: make_seeds OUTDIR makes OUTDIR/{zipreader,descriptionfile,roundtrip,
// bmpreader}.
// Archives come from ZipWriter itself and from a byte-level builder that can produce what the
// writer never does (stored members, descriptors, comments, UTF-8 names, odd methods), so the
// fuzzer starts next to every branch of the reader.
#include "core/archive/zipwriter.h"
#include "core/model/captions.h"
#include "core/model/descriptionfile.h"
#include "core/model/recordtable.h"
#include "core/plan/planimage.h"

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

// A BMP with a 40-byte info header (12 for OS/2), `colours` palette entries and the given
// pixel bytes, which may be RLE data.
QByteArray bmp(int width, int height, int bits, quint32 compression, int colours, const QByteArray &pixels,
               int infoSize = 40)
{
    QByteArray b;
    add16(b, 0x4d42);
    add32(b, 0);
    add32(b, 0);
    add32(b, 0);
    add32(b, quint32(infoSize));
    if (infoSize == 12) {
        add16(b, quint32(width));
        add16(b, quint32(height));
        add16(b, 1);
        add16(b, quint32(bits));
    } else {
        add32(b, quint32(width));
        add32(b, quint32(height));
        add16(b, 1);
        add16(b, quint32(bits));
        add32(b, compression);
        add32(b, quint32(pixels.size()));
        add32(b, 2835);
        add32(b, 2835);
        add32(b, quint32(colours));
        add32(b, 0);
        b += QByteArray(infoSize - 40, '\0');
    }
    if (compression == 3) {
        add32(b, 0xff0000);
        add32(b, 0xff00);
        add32(b, 0xff);
    }
    for (int i = 0; i < colours; ++i) {
        b.append(char(i)).append(char(i * 3)).append(char(i * 7));
        if (infoSize != 12)
            b.append(char(0));
    }
    const int offset = int(b.size());
    b += pixels;
    b[2] = char(b.size() & 0xff);
    b[3] = char((b.size() >> 8) & 0xff);
    b[4] = char((b.size() >> 16) & 0xff);
    b[10] = char(offset & 0xff);
    b[11] = char(offset >> 8);
    return b;
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
        // Long runs of empty lines of every break, between and after the records: each line is
        // a row however short, which is what the line limit and the row memory are about.
        QByteArray runs = csv3;
        runs.replace("\r\n;;;", QByteArray("\r\n").repeated(3000) + QByteArray("\n\r").repeated(2000) + ";;;");
        save(target, QStringLiteral("empty-line-runs.csv"), runs + QByteArray("\r").repeated(4000));
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

    const QString p = QStringLiteral("bmpreader");
    QImage plan(13, 7, QImage::Format_RGB32);
    for (int y = 0; y < plan.height(); ++y)
        for (int x = 0; x < plan.width(); ++x)
            plan.setPixel(x, y, (x % 4 == 0 || y == 3) ? 0xff000000 : 0xff000000u | quint32(x * 0x130507 + y * 0x2101));
    save(p, QStringLiteral("rgb24.bmp"), PlanImage::bmpBytes(plan));
    const QByteArray noise = planBytes(13 * 4 * 7, 5);
    save(p, QStringLiteral("rgb32.bmp"), bmp(13, 7, 32, 0, 0, noise));
    save(p, QStringLiteral("rgb32-top-down.bmp"), bmp(13, -7, 32, 0, 0, noise));
    save(p, QStringLiteral("bitfields.bmp"), bmp(13, 7, 32, 3, 0, noise));
    save(p, QStringLiteral("rgb16.bmp"), bmp(13, 7, 16, 0, 0, noise.left(28 * 7)));
    save(p, QStringLiteral("indexed8.bmp"), bmp(13, 7, 8, 0, 256, noise.left(16 * 7)));
    save(p, QStringLiteral("indexed8-short-palette.bmp"), bmp(13, 7, 8, 0, 9, noise.left(16 * 7)));
    save(p, QStringLiteral("indexed8-os2.bmp"), bmp(13, 7, 8, 0, 256, noise.left(16 * 7), 12));
    save(p, QStringLiteral("indexed4.bmp"), bmp(13, 7, 4, 0, 16, noise.left(8 * 7)));
    save(p, QStringLiteral("mono.bmp"), bmp(13, 7, 1, 0, 2, noise.left(4 * 7)));
    // Large enough in pixels for its rows to be read in two pieces.
    save(p, QStringLiteral("mono-tall.bmp"), bmp(256, 1500, 1, 0, 2, planBytes(32 * 1500, 6)));
    // Runs, literal pixels, a move, end of line, end of bitmap.
    const QByteArray rle8("\x05\x01\x00\x04\x02\x03\x04\x05\x04\x06\x00\x00\x00\x02\x03\x02\x07\x09\x00\x01", 20);
    save(p, QStringLiteral("rle8.bmp"), bmp(13, 7, 8, 1, 16, rle8));
    save(p, QStringLiteral("rle8-cut.bmp"), bmp(13, 7, 8, 1, 16, rle8.left(9)));
    save(p, QStringLiteral("rle4.bmp"), bmp(13, 7, 4, 2, 16, QByteArray("\x0d\x12\x00\x00\x00\x05\x34\x56\x70\x00\x00\x01", 12)));
    return 0;
}
