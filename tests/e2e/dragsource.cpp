// A window to drag files from, for the end-to-end test: a press on it starts a drag of the
// files named on the command line, as a file manager would, and ends the program when the drag
// is over.
#include <QApplication>
#include <QDrag>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>

namespace {

class DragSource : public QLabel
{
public:
    explicit DragSource(QList<QUrl> urls)
        : QLabel(QStringLiteral("dragsource"))
        , m_urls(std::move(urls))
    {
        setWindowTitle(QStringLiteral("metrola-dragsource"));
        setAlignment(Qt::AlignCenter);
        resize(160, 100);
    }

protected:
    void mousePressEvent(QMouseEvent *) override
    {
        auto *drag = new QDrag(this);
        auto *data = new QMimeData;
        data->setUrls(m_urls);
        drag->setMimeData(data);
        drag->exec(Qt::CopyAction);
        QApplication::quit();
    }

private:
    QList<QUrl> m_urls;
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QList<QUrl> urls;
    for (const QString &path : QApplication::arguments().mid(1))
        urls.append(QUrl::fromLocalFile(path));
    DragSource source(urls);
    source.move(900, 700);
    source.show();
    return app.exec();
}
