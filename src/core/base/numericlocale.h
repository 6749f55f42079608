#pragma once

#include <locale.h>

// The C library formats and reads numbers (printf, strtod) by LC_NUMERIC, which the Qt
// application object takes from the user's environment: on a Russian desktop "87.5" would be
// written "87,5" into the workbook, and read back as 87. What the program writes into files
// never depends on the user's locale.
namespace NumericLocale {

// The whole program: called once, right after the application object is created.
void useC();

// This thread, for the lifetime of the scope, whatever the program's locale: for code that
// hands numbers to a library through the C library (the workbook writer) and may run in a
// program that never called useC(), a test or a plug-in host.
class CScope
{
public:
    CScope();
    ~CScope();
    CScope(const CScope &) = delete;
    CScope &operator=(const CScope &) = delete;

private:
    locale_t m_c = nullptr;
    locale_t m_previous = nullptr;
};

} // namespace NumericLocale
