#pragma once

class Form1;

// Test builds only: lets a test drive the real program through standard input, one command a
// line, and read on standard output what it shows.
//   cell <column> <row> <text>   sets a table cell, as a commit of the record dialog would
//   caption <index> <text>       types a caption field (edt1 is index 0)
//   state                        prints "state modified=<0|1> plan=<plan shown> name1=<row 1's name>"
//   close                        closes the main window as the user does
// "ready" is printed once the event loop runs. Every message box is printed as
// "message <title>|<text>" and answered: the recovery question with METROLA_TEST_ANSWER (yes or
// no), a replace question with Yes, any other question with No.
namespace TestHook {
void install(Form1 &window);
}
