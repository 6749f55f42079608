#include <QApplication>

int runForm2Tests(int argc, char **argv);
int runMarkingTests(int argc, char **argv);
int runDialogKeyboardTests(int argc, char **argv);

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    int failures = runForm2Tests(argc, argv);
    failures += runMarkingTests(argc, argv);
    failures += runDialogKeyboardTests(argc, argv);
    return failures;
}
