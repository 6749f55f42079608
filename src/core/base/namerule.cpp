#include "core/base/namerule.h"

namespace NameRule {

bool isBareFileName(QStringView name)
{
    if (name == u"." || name == u"..")
        return false;
    if (name.size() >= 2 && name[1] == u':' && name[0].toLower() >= u'a' && name[0].toLower() <= u'z')
        return false;
    for (QChar c : name) {
        if (c == u'/' || c == u'\\' || c.category() == QChar::Other_Control)
            return false;
    }
    return true;
}

} // namespace NameRule
