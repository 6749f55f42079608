#include "core/base/numericlocale.h"

#include <clocale>

namespace NumericLocale {

void useC()
{
    std::setlocale(LC_NUMERIC, "C");
}

CScope::CScope()
{
    // Only the numbers change; the thread keeps the program's other categories (the
    // character set above all).
    if (const locale_t base = duplocale(LC_GLOBAL_LOCALE)) {
        m_c = newlocale(LC_NUMERIC_MASK, "C", base);
        if (!m_c)
            freelocale(base);
    }
    if (m_c)
        m_previous = uselocale(m_c);
}

CScope::~CScope()
{
    if (!m_c)
        return;
    uselocale(m_previous);
    freelocale(m_c);
}

} // namespace NumericLocale
