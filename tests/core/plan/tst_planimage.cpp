#include "core/base/metrolaerror.h"
#include "core/plan/bmpwriter.h"
#include "core/plan/floodfill.h"
#include "core/plan/planimage.h"

#include <QBuffer>
#include <QFile>
#include <QImageWriter>
#include <QTemporaryDir>
#include <QTest>

#include <limits>
#include <random>

using namespace Qt::StringLiterals;

namespace {

// '#' black, '.' white, 'r' 'g' 'b' pure channels, 'n' a colour one step off black in each.
QRgb colourOf(QChar c)
{
    switch (c.unicode()) {
    case '#': return 0xff000000;
    case '.': return 0xffffffff;
    case 'r': return 0xffff0000;
    case 'g': return 0xff00ff00;
    case 'b': return 0xff0000ff;
    case 'n': return 0xff010203;
    }
    qFatal("no colour for this character");
}

const QString kPalette = QStringLiteral("#.rgbn");

void putLe16(QByteArray &bytes, int at, quint16 v)
{
    bytes[at] = char(v & 0xff);
    bytes[at + 1] = char(v >> 8);
}

void putLe32(QByteArray &bytes, int at, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = char((v >> (8 * i)) & 0xff);
}

// A BMP with a 40-byte info header, written by hand so that the tests control every field.
QByteArray bmpFile(const QStringList &rows, int bitCount, bool topDown)
{
    const int width = int(rows.first().size());
    const int height = int(rows.size());
    const int paletteSize = bitCount == 8 ? 256 * 4 : 0;
    const int stride = (width * bitCount + 31) / 32 * 4;
    const int offset = 14 + 40 + paletteSize;

    QByteArray bytes(offset + stride * height, '\0');
    bytes[0] = 'B';
    bytes[1] = 'M';
    putLe32(bytes, 2, quint32(bytes.size()));
    putLe32(bytes, 10, quint32(offset));
    putLe32(bytes, 14, 40);
    putLe32(bytes, 18, quint32(width));
    putLe32(bytes, 22, quint32(topDown ? -height : height));
    putLe16(bytes, 26, 1);
    putLe16(bytes, 28, quint16(bitCount));
    for (int i = 0; i < int(kPalette.size()) && paletteSize; ++i)
        putLe32(bytes, 54 + 4 * i, colourOf(kPalette[i]) & 0xffffff);

    for (int y = 0; y < height; ++y) {
        const int fileRow = topDown ? y : height - 1 - y;
        char *out = bytes.data() + offset + fileRow * stride;
        for (int x = 0; x < width; ++x) {
            const QRgb c = colourOf(rows[y][x]);
            if (bitCount == 8) {
                out[x] = char(kPalette.indexOf(rows[y][x]));
            } else {
                const int bpp = bitCount / 8;
                out[x * bpp] = char(qBlue(c));
                out[x * bpp + 1] = char(qGreen(c));
                out[x * bpp + 2] = char(qRed(c));
            }
        }
    }
    return bytes;
}

QImage draw(const QStringList &rows)
{
    QImage image(int(rows.first().size()), int(rows.size()), QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, colourOf(rows[y][x]));
    return image;
}

// Any BMP, field by field: header size, depth, compression, palette, masks. Pixels, palette
// and padding are random bytes from a fixed seed; RLE rows mix runs and literal stretches.
struct BmpLayout
{
    int infoSize = 40;
    int bits = 24;
    quint32 compression = 0;
    int width = 3;
    int height = 3;
    bool topDown = false;
    int paletteEntries = 0;
    quint32 coloursUsed = 0;
    QList<quint32> masks; // red, green, blue, alpha: after a 40-byte header, else inside it
};

BmpLayout layout(int infoSize, int bits, quint32 compression = 0, int paletteEntries = 0,
             quint32 coloursUsed = 0, const QList<quint32> &masks = {})
{
    BmpLayout s;
    s.infoSize = infoSize;
    s.bits = bits;
    s.compression = compression;
    s.paletteEntries = paletteEntries;
    s.coloursUsed = coloursUsed;
    s.masks = masks;
    return s;
}

} // namespace

Q_DECLARE_METATYPE(BmpLayout)

namespace {

QByteArray rleRows(const BmpLayout &layout, std::mt19937 &rng)
{
    const bool four = layout.compression == 2;
    const auto random = [&rng](int n) { return int(rng() % quint32(n)); };
    QByteArray data;
    for (int y = 0; y < layout.height; ++y) {
        for (int x = 0; x < layout.width;) {
            const int n = std::min(layout.width - x, 1 + random(6));
            if (n >= 3 && random(2) == 0) { // literal pixels, padded to 16 bits
                const int bytes = four ? (n + 1) / 2 : n;
                data += char(0);
                data += char(n);
                for (int i = 0; i < bytes; ++i)
                    data += char(random(256));
                if (bytes % 2)
                    data += char(0);
            } else {
                data += char(n);
                data += char(random(256));
            }
            x += n;
        }
        data += QByteArray("\0\0", 2);
    }
    return data + QByteArray("\0\1", 2);
}

QByteArray bmpOf(const BmpLayout &layout)
{
    std::mt19937 rng(quint32(layout.width * 131 + layout.bits * 7 + layout.infoSize));
    const bool core = layout.infoSize == 12;
    QByteArray b(14 + layout.infoSize, '\0');
    b[0] = 'B';
    b[1] = 'M';
    putLe32(b, 14, quint32(layout.infoSize));
    if (core) {
        putLe16(b, 18, quint16(layout.width));
        putLe16(b, 20, quint16(layout.height));
        putLe16(b, 22, 1);
        putLe16(b, 24, quint16(layout.bits));
    } else {
        putLe32(b, 18, quint32(layout.width));
        putLe32(b, 22, quint32(layout.topDown ? -layout.height : layout.height));
        putLe16(b, 26, 1);
        putLe16(b, 28, quint16(layout.bits));
        putLe32(b, 30, layout.compression);
        putLe32(b, 46, layout.coloursUsed);
    }
    QByteArray masks(layout.masks.size() * 4, '\0');
    for (int i = 0; i < int(layout.masks.size()); ++i)
        putLe32(layout.infoSize > 40 ? b : masks, (layout.infoSize > 40 ? 54 : 0) + 4 * i, layout.masks[i]);
    b += masks;
    for (int i = 0; i < layout.paletteEntries * (core ? 3 : 4); ++i)
        b += char(rng());
    putLe32(b, 10, quint32(b.size()));

    QByteArray pixels;
    if (layout.compression == 1 || layout.compression == 2) {
        pixels = rleRows(layout, rng);
    } else {
        const int stride = (layout.width * layout.bits + 31) / 32 * 4;
        pixels.resize(qsizetype(stride) * layout.height);
        for (char &byte : pixels)
            byte = char(rng());
    }
    if (!core)
        putLe32(b, 34, quint32(pixels.size()));
    b += pixels;
    putLe32(b, 2, quint32(b.size()));
    return b;
}

// Reads and writes like a buffer up to a given offset and fails past it, as a disk that gives
// out in the middle of a file; size() still tells the full size.
class CutDevice : public QBuffer
{
public:
    CutDevice(QByteArray *bytes, qint64 cut)
        : QBuffer(bytes)
        , m_cut(cut)
    {}

protected:
    qint64 readData(char *data, qint64 max) override
    {
        return pos() >= m_cut ? -1 : QBuffer::readData(data, std::min(max, m_cut - pos()));
    }
    qint64 writeData(const char *data, qint64 size) override
    {
        return pos() + size > m_cut ? -1 : QBuffer::writeData(data, size);
    }

private:
    qint64 m_cut;
};

// Asymmetric both ways, and three pixels wide so that 24-bit rows need padding.
const QStringList kSmallPlan = {
    QStringLiteral("r.g"),
    QStringLiteral("#bn"),
};

} // namespace

class TestPlanImage : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void loadsAsRgb32_data();
    void loadsAsRgb32();
    void roundTripKeepsEveryColour();
    void decodesAsQtDoes_data();
    void decodesAsQtDoes();
    void rleLeavesNothingUndefined_data();
    void rleLeavesNothingUndefined();
    void writesWhatQtWrites_data();
    void writesWhatQtWrites();
    void refuses_data();
    void refuses();
    void refusesMissingFile();
    void deviceFailureIsRefused_data();
    void deviceFailureIsRefused();
    void largePlanLoadsFillsAndSaves();
    void saveFailureLeavesNoFile();

private:
    QString writeFile(const QString &name, const QByteArray &bytes);

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestPlanImage::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

QString TestPlanImage::writeFile(const QString &name, const QByteArray &bytes)
{
    const QString path = m_dir->filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write the test file");
    return path;
}

void TestPlanImage::loadsAsRgb32_data()
{
    QTest::addColumn<int>("bitCount");
    QTest::addColumn<bool>("topDown");
    QTest::newRow("8-bit bottom-up") << 8 << false;
    QTest::newRow("8-bit top-down") << 8 << true;
    QTest::newRow("24-bit bottom-up") << 24 << false;
    QTest::newRow("24-bit top-down") << 24 << true;
    QTest::newRow("32-bit bottom-up") << 32 << false;
}

void TestPlanImage::loadsAsRgb32()
{
    QFETCH(int, bitCount);
    QFETCH(bool, topDown);
    const QString path = writeFile(QStringLiteral("plan.bmp"), bmpFile(kSmallPlan, bitCount, topDown));
    const QImage image = PlanImage::loadBmp(path);
    QCOMPARE(image.format(), QImage::Format_RGB32);
    QCOMPARE(image, draw(kSmallPlan));
}

void TestPlanImage::roundTripKeepsEveryColour()
{
    QImage image(67, 13, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] = 0xff000000u | (quint32(x * 3851 + y * 7919 + x * y) * 2654435761u >> 8);
    }
    const QString path = m_dir->filePath(QStringLiteral("saved.bmp"));
    PlanImage::saveBmp(image, path);

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray head = file.read(30);
    QCOMPARE(quint8(head[28]) | (quint8(head[29]) << 8), 24);

    const QImage loaded = PlanImage::loadBmp(path);
    QCOMPARE(loaded.format(), QImage::Format_RGB32);
    QCOMPARE(loaded, image);
}

void TestPlanImage::decodesAsQtDoes_data()
{
    QTest::addColumn<BmpLayout>("layout");
    const auto add = [](const QString &name, BmpLayout file) {
        for (int width : {1, 2, 3, 4, 9, 33}) {
            for (bool topDown : {false, true}) {
                if (topDown && file.infoSize == 12)
                    continue;
                file.width = width;
                file.topDown = topDown;
                QTest::addRow("%s, %d wide%s", qPrintable(name), width, topDown ? ", top-down" : "") << file;
            }
        }
    };
    add(u"24-bit"_s, layout(40, 24));
    add(u"32-bit"_s, layout(40, 32));
    add(u"32-bit, V5 header"_s, layout(124, 32));
    add(u"8-bit, 256 colours"_s, layout(40, 8, 0, 256));
    add(u"8-bit, 6 colours"_s, layout(40, 8, 0, 6, 6));
    add(u"8-bit, 1 colour"_s, layout(40, 8, 0, 1, 1));
    add(u"8-bit, V4 header"_s, layout(108, 8, 0, 256));
    add(u"8-bit, OS/2 2.x header"_s, layout(64, 8, 0, 256));
    add(u"8-bit, OS/2 1.x header"_s, layout(12, 8, 0, 256));
    add(u"24-bit, OS/2 1.x header"_s, layout(12, 24));
    add(u"4-bit, 16 colours"_s, layout(40, 4, 0, 16));
    add(u"4-bit, 5 colours"_s, layout(40, 4, 0, 5, 5));
    add(u"4-bit, 17 colours"_s, layout(40, 4, 0, 17, 17));
    add(u"1-bit"_s, layout(40, 1, 0, 2));
    add(u"1-bit, 1 colour"_s, layout(40, 1, 0, 1, 1));
    add(u"bitfields RGB"_s, layout(40, 32, 3, 0, 0, {0xff0000, 0xff00, 0xff}));
    add(u"bitfields BGR"_s, layout(40, 32, 3, 0, 0, {0xff, 0xff00, 0xff0000}));
    add(u"bitfields RGBA, V4"_s,
        layout(108, 32, 3, 0, 0, {0xff000000, 0xff0000, 0xff00, 0xff}));
    add(u"bitfields with alpha, V5"_s,
        layout(124, 32, 3, 0, 0, {0xff0000, 0xff00, 0xff, 0xff000000}));
    add(u"bitfields 10-10-10"_s,
        layout(108, 32, 3, 0, 0, {0x3ff00000, 0xffc00, 0x3ff}));
    add(u"bitfields 5-6-5"_s, layout(40, 16, 3, 0, 0, {0xf800, 0x7e0, 0x1f}));
    add(u"16-bit"_s, layout(40, 16));
    add(u"RLE8"_s, layout(40, 8, 1, 256));
    add(u"RLE8, 7 colours"_s, layout(40, 8, 1, 7, 7));
    add(u"RLE4"_s, layout(40, 4, 2, 16));

    // Tall enough for the rows to be read in several pieces.
    const auto addTall = [](const QString &name, BmpLayout file) {
        file.width = 257;
        file.height = 4500;
        for (bool topDown : {false, true}) {
            file.topDown = topDown;
            QTest::addRow("%s, 257 x 4500%s", qPrintable(name), topDown ? ", top-down" : "") << file;
        }
    };
    addTall(u"24-bit"_s, layout(40, 24));
    addTall(u"32-bit"_s, layout(40, 32));
    addTall(u"bitfields BGR"_s, layout(40, 32, 3, 0, 0, {0xff, 0xff00, 0xff0000}));
    addTall(u"8-bit, 256 colours"_s, layout(40, 8, 0, 256));
    addTall(u"4-bit, 16 colours"_s, layout(40, 4, 0, 16));
    addTall(u"1-bit"_s, layout(40, 1, 0, 2));
}

void TestPlanImage::decodesAsQtDoes()
{
    QFETCH(BmpLayout, layout);
    const QByteArray bytes = bmpOf(layout);
    const QImage qt = QImage::fromData(bytes, "BMP").convertToFormat(QImage::Format_RGB32);
    QVERIFY(!qt.isNull());
    const QImage ours = PlanImage::loadBmp(writeFile(QStringLiteral("plan.bmp"), bytes));
    QCOMPARE(ours.format(), QImage::Format_RGB32);
    QCOMPARE(ours, qt);
}

// Palette entry 0 is 'n' and entry 1 'r', 2 'g'; RLE8 data for 3 x 2 bottom-up. Rows the data
// never reaches, pixels a move skips and the ends of short rows all take entry 0.
void TestPlanImage::rleLeavesNothingUndefined_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QStringList>("drawing"); // empty: refused as cut off
    const auto rle = [](const char *bytes, int size) { return QByteArray(bytes, size); };
    QTest::newRow("end marker before the top row") << rle("\3\1\0\1", 4) << QStringList{u"nnn"_s, u"rrr"_s};
    QTest::newRow("short rows") << rle("\1\1\0\0\2\2\0\1", 8) << QStringList{u"ggn"_s, u"rnn"_s};
    QTest::newRow("a move skips pixels") << rle("\0\2\1\1\1\2\0\1", 8) << QStringList{u"ngn"_s, u"nnn"_s};
    QTest::newRow("every row, no end marker") << rle("\3\1\0\0\3\2", 6) << QStringList{u"ggg"_s, u"rrr"_s};
    QTest::newRow("moved past the top") << rle("\1\1\0\2\0\5", 6) << QStringList{u"nnn"_s, u"rnn"_s};
    QTest::newRow("cut after the first row") << rle("\3\1\0\0", 4) << QStringList();
    QTest::newRow("cut inside a run") << rle("\3\1\0\0\3", 5) << QStringList();
    QTest::newRow("cut inside literal pixels") << rle("\0\3\1\2", 4) << QStringList();
    QTest::newRow("cut inside the padding") << rle("\0\3\1\2\1", 5) << QStringList();
    QTest::newRow("cut inside a move") << rle("\0\2\1", 3) << QStringList();
}

void TestPlanImage::rleLeavesNothingUndefined()
{
    QFETCH(QByteArray, data);
    QFETCH(QStringList, drawing);
    BmpLayout rle = layout(40, 8, 1, 3, 3);
    rle.height = 2;
    QByteArray bytes = bmpOf(rle);
    const int paletteAt = 14 + 40;
    for (int i = 0; i < 3; ++i)
        putLe32(bytes, paletteAt + 4 * i, colourOf(u"nrg"_s[i]) & 0xffffff);
    bytes = bytes.left(paletteAt + 12) + data;
    putLe32(bytes, 2, quint32(bytes.size()));
    putLe32(bytes, 34, quint32(data.size()));
    const QString path = writeFile(QStringLiteral("plan.bmp"), bytes);
    if (drawing.isEmpty()) {
        QVERIFY_THROWS_EXCEPTION(MetrolaError, PlanImage::loadBmp(path));
        return;
    }
    // Twice, with the first image's memory free in between: nothing may depend on it.
    for (int i = 0; i < 2; ++i)
        QCOMPARE(PlanImage::loadBmp(path), draw(drawing));
}

void TestPlanImage::writesWhatQtWrites_data()
{
    QTest::addColumn<QImage>("image");
    // Sixteen pixels a step and the rest one by one; the last one is written in three blocks.
    for (const QSize size : {QSize(1, 3), QSize(2, 3), QSize(3, 3), QSize(4, 3), QSize(5, 3),
                             QSize(16, 3), QSize(17, 3), QSize(35, 3), QSize(257, 1500)}) {
        const int width = size.width();
        QImage image(size, QImage::Format_ARGB32);
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < width; ++x)
                image.setPixel(x, y, 0x12345678u * quint32(x + 7 * y + 1));
        image.setDotsPerMeterX(2835 + width);
        image.setDotsPerMeterY(3937);
        const int h = size.height();
        QTest::addRow("RGB32, %d x %d", width, h) << image.convertToFormat(QImage::Format_RGB32);
        QTest::addRow("ARGB32, %d x %d", width, h) << image;
        QTest::addRow("Indexed8, %d x %d", width, h) << image.convertToFormat(QImage::Format_Indexed8);
    }
}

void TestPlanImage::writesWhatQtWrites()
{
    QFETCH(QImage, image);
    QByteArray qt;
    QBuffer buffer(&qt);
    buffer.open(QIODevice::WriteOnly);
    QVERIFY(QImageWriter(&buffer, "bmp").write(image.convertToFormat(QImage::Format_RGB32)));
    QCOMPARE(PlanImage::bmpBytes(image), qt);
    const QString path = m_dir->filePath(QStringLiteral("saved.bmp"));
    PlanImage::saveBmp(image, path);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), qt);
}

void TestPlanImage::refuses_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("message");

    const QString notBmp = QStringLiteral("Файл «plan.bmp» не является рисунком BMP. Показан прежний план.");
    const QString truncated =
        QStringLiteral("Файл «plan.bmp» повреждён: данные рисунка обрываются. Показан прежний план.");
    const QString badSize = QStringLiteral(
        "Файл «plan.bmp» повреждён: размеры рисунка %1 × %2 недопустимы. Показан прежний план.");
    const QString tooLarge = QStringLiteral(
        "Рисунок в файле «plan.bmp» слишком велик: %1 × %2 точек, а допускается не более 268 млн "
        "точек и не более 32767 по стороне. Показан прежний план.");
    const QString unsupported = QStringLiteral(
        "Файл «plan.bmp» записан в неподдерживаемом виде BMP (%1). Показан прежний план.");

    QByteArray png;
    {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        QImage(4, 4, QImage::Format_RGB32).save(&buffer, "PNG");
    }
    QTest::newRow("PNG bytes") << png << notBmp;
    QTest::newRow("text that starts with BM") << QByteArray("BMW garage, floor 2, rooms 1-14\n") << notBmp;
    QTest::newRow("empty file") << QByteArray() << notBmp;

    const QByteArray good = bmpFile(kSmallPlan, 24, false);
    const auto withLe32 = [&good](int at, quint32 v) {
        QByteArray b = good;
        putLe32(b, at, v);
        return b;
    };
    QTest::newRow("width 0") << withLe32(18, 0) << badSize.arg(0).arg(2);
    QTest::newRow("negative width") << withLe32(18, quint32(-3)) << badSize.arg(-3).arg(2);
    QTest::newRow("width over 32767") << withLe32(18, 32768) << tooLarge.arg(32768).arg(2);
    QTest::newRow("height INT_MIN")
        << withLe32(22, quint32(std::numeric_limits<qint32>::min())) << tooLarge.arg(3).arg(2147483648LL);
    {
        QByteArray b = withLe32(18, 20000);
        putLe32(b, 22, 20000);
        QTest::newRow("20000 x 20000") << b << tooLarge.arg(20000).arg(20000);
    }

    QTest::newRow("pixel data one byte short") << good.left(good.size() - 1) << truncated;
    QTest::newRow("header cut") << good.left(40) << truncated;
    QTest::newRow("data offset past the end") << withLe32(10, quint32(good.size() + 10)) << truncated;
    QTest::newRow("data offset inside the header") << withLe32(10, 20)
        << QStringLiteral("Файл «plan.bmp» повреждён: заголовок рисунка BMP неверен. Показан прежний план.");

    QTest::newRow("JPEG inside") << withLe32(30, 4) << unsupported.arg(QStringLiteral("сжатие 4"));
    {
        QByteArray b = good;
        putLe16(b, 28, 7);
        QTest::newRow("7 bits a pixel") << b << unsupported.arg(QStringLiteral("7 бит на точку"));
    }
}

void TestPlanImage::refuses()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, message);
    const QString path = writeFile(QStringLiteral("plan.bmp"), bytes);
    try {
        PlanImage::loadBmp(path);
        QFAIL("the file was accepted");
    } catch (const MetrolaError &e) {
        QCOMPARE(e.message(), message);
    }
}

void TestPlanImage::refusesMissingFile()
{
    try {
        PlanImage::loadBmp(m_dir->filePath(QStringLiteral("gone.bmp")));
        QFAIL("a missing file was accepted");
    } catch (const MetrolaError &e) {
        QCOMPARE(e.message(), QStringLiteral("Файл «gone.bmp» не найден. Показан прежний план."));
    }
}

// A large image is read and written in several pieces; a device failing at any of them must
// end in a refusal, not in a half-read plan or a file reported as written.
void TestPlanImage::deviceFailureIsRefused_data()
{
    QTest::addColumn<bool>("writing");
    QTest::addColumn<double>("cutAt"); // share of the pixel data before the failure
    for (bool writing : {false, true}) {
        const char *what = writing ? "writing" : "reading";
        QTest::addRow("%s, in the header", what) << writing << -1.0;
        QTest::addRow("%s, in the first third", what) << writing << 0.1;
        QTest::addRow("%s, in the middle third", what) << writing << 0.5;
        QTest::addRow("%s, in the last third", what) << writing << 0.9;
        QTest::addRow("%s, at the last byte", what) << writing << 1.0;
    }
}

void TestPlanImage::deviceFailureIsRefused()
{
    QFETCH(bool, writing);
    QFETCH(double, cutAt);
    BmpLayout tall = layout(40, 24);
    tall.width = 257;
    tall.height = 4500;
    QByteArray bytes = bmpOf(tall);
    const qint64 data = 54;
    const qint64 cut = cutAt < 0 ? 20 : data + qint64(double(bytes.size() - data) * cutAt) - (cutAt == 1.0);
    if (writing) {
        const QImage image = QImage::fromData(bytes, "BMP");
        QByteArray written;
        CutDevice device(&written, cut);
        QVERIFY(device.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        QVERIFY(!BmpWriter::write(image, device));
        return;
    }
    CutDevice device(&bytes, cut);
    QVERIFY(device.open(QIODevice::ReadOnly | QIODevice::Unbuffered));
    QVERIFY_THROWS_EXCEPTION(MetrolaError, PlanImage::readBmp(device, u"plan.bmp"_s));
}

void TestPlanImage::largePlanLoadsFillsAndSaves()
{
    // 10000 x 7000 at 24 bits, white with a wall down the middle. Its 267 MiB of decoded
    // pixels are more than Qt lets a reader allocate by default.
    const int width = 10000;
    const int height = 7000;
    const int stride = width * 3;
    QByteArray header = bmpFile({QStringLiteral(".")}, 24, false).left(54);
    putLe32(header, 2, quint32(54 + qint64(stride) * height));
    putLe32(header, 18, width);
    putLe32(header, 22, height);
    QByteArray row(stride, char(0xff));
    row[5000 * 3] = row[5000 * 3 + 1] = row[5000 * 3 + 2] = 0;

    const QString path = m_dir->filePath(QStringLiteral("large.bmp"));
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(header);
        for (int y = 0; y < height; ++y)
            QCOMPARE(file.write(row), qint64(stride));
    }

    QImage plan = PlanImage::loadBmp(path);
    QCOMPARE(plan.size(), QSize(width, height));
    QCOMPARE(plan.format(), QImage::Format_RGB32);
    QCOMPARE(FloodFill().fill(plan, QPoint(9999, 6999), 0xff123456), QRect(5001, 0, 4999, 7000));

    const QString saved = m_dir->filePath(QStringLiteral("large-saved.bmp"));
    PlanImage::saveBmp(plan, saved);
    QCOMPARE(QFileInfo(saved).size(), 54 + qint64(stride) * height);
}

void TestPlanImage::saveFailureLeavesNoFile()
{
    const QString path = m_dir->filePath(QStringLiteral("no-such-folder/plan.bmp"));
    QImage image(2, 2, QImage::Format_RGB32);
    image.fill(Qt::white);
    QVERIFY_THROWS_EXCEPTION(MetrolaError, PlanImage::saveBmp(image, path));
    QVERIFY(!QFile::exists(path));
    QVERIFY_THROWS_EXCEPTION(MetrolaError, PlanImage::saveBmp(QImage(), m_dir->filePath(QStringLiteral("x.bmp"))));
}

QTEST_APPLESS_MAIN(TestPlanImage)
#include "tst_planimage.moc"
