#include "testhook.h"

#include "gui/mainwindow/form1.h"
#include "gui/widgets/dialogs.h"

#include <QCoreApplication>
#include <QEvent>
#include <QLineEdit>
#include <QTimer>

#include <cstdio>
#include <iostream>
#include <string>
#include <thread>

using namespace Qt::StringLiterals;

namespace TestHook {

namespace {

void say(const QString &line)
{
    std::fputs((line + u'\n').toUtf8().constData(), stdout);
    std::fflush(stdout);
}

void run(Form1 &window, const QString &line)
{
    const QString command = line.section(u' ', 0, 0);
    if (command == u"cell") {
        window.session().table().setCell(line.section(u' ', 1, 1).toInt(), line.section(u' ', 2, 2).toInt(),
                                         line.section(u' ', 3));
    } else if (command == u"caption") {
        QLineEdit *field = window.edt[static_cast<size_t>(line.section(u' ', 1, 1).toInt())];
        field->setText(line.section(u' ', 2));
        Q_EMIT field->textEdited(field->text());
    } else if (command == u"state") {
        const ProjectSession &s = window.session();
        say(u"state modified=%1 plan=%2 name1=%3"_s.arg(s.modified() ? 1 : 0)
                .arg(s.currentPlan(), s.table().cellText(RecordTable::Name, 1)));
    } else if (command == u"close") {
        window.close();
    }
}

class ShowFilter : public QObject
{
public:
    explicit ShowFilter(Form1 &window) : QObject(&window), m_window(window) {}

    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Show && !std::exchange(m_shown, true))
            QTimer::singleShot(0, this, [this] { listen(); });
        return false;
    }

private:
    void listen()
    {
        say(u"ready"_s);
        // Standard input blocks, so a thread reads it and hands each line to the GUI thread;
        // it is left to end with the process.
        std::thread([&window = m_window] {
            std::string line;
            while (std::getline(std::cin, line)) {
                const QString text = QString::fromStdString(line);
                QMetaObject::invokeMethod(&window, [&window, text] { run(window, text); }, Qt::QueuedConnection);
            }
        }).detach();
    }

    Form1 &m_window;
    bool m_shown = false;
};

} // namespace

void install(Form1 &window)
{
    const bool restore = qEnvironmentVariable("METROLA_TEST_ANSWER") == u"yes";
    Dialogs::Responder responder;
    responder.message = [restore](Dialogs::Kind, const QString &title, const QString &text) {
        say(u"message "_s + title + u'|' + text);
        if (text.startsWith(u"Найдена несохранённая работа"))
            return restore ? QMessageBox::Yes : QMessageBox::No;
        return title == u"Файл уже существует" ? QMessageBox::Yes : QMessageBox::No;
    };
    responder.file = [](QFileDialog *) { return QString(); };
    responder.colour = [](QColorDialog *) { return false; };
    // The lock a killed run left beside its archive: taken over (the first button).
    responder.choice = [](const QString &title, const QString &text, const QStringList &) {
        say(u"choice "_s + title + u'|' + text);
        return 0;
    };
    Dialogs::setResponder(responder);
    // Commands are taken once the window is shown: start-up runs the event loop while it
    // unpacks, and a command must not come in half way.
    auto *filter = new ShowFilter(window);
    window.installEventFilter(filter);
}

} // namespace TestHook
