#pragma once

#include <QStringView>

// The one name rule. Plan ids are file names in the working folder and archive members are
// named by them, so one rule decides both: a plan id the description file accepts always has a
// member the archive will extract, and neither can name anything outside the folder.
namespace NameRule {

// A name that names nothing but a file in the folder it is put in: not "." or "..", no path
// separator, no drive prefix ("C:"), no control character (NUL and the C1 controls included).
// Dots elsewhere, "план..v2.bmp" for instance, are an ordinary name. An empty name names no
// file and passes; callers that need a name check for it.
bool isBareFileName(QStringView name);

} // namespace NameRule
