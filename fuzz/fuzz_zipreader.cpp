// Any byte string as a project archive: opening, verifying and reading must end in a
// MetrolaError or in data, never in a crash, a sanitizer report or a huge allocation.
#include "core/archive/zipreader.h"
#include "core/base/metrolaerror.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    // A small limit keeps one run fast; larger members are refused the same way.
    constexpr qint64 limit = qint64(1) << 20;
    try {
        ZipReader reader(bytes, QStringLiteral("fuzz.zip"), limit);
        const QStringList names = reader.memberNames();
        if (names.size() > reader.memberCount())
            __builtin_trap();
        for (const QString &name : names) {
            if (!ZipReader::isSafeMemberName(name))
                __builtin_trap();
            try {
                const QByteArray member = reader.readMember(name);
                if (member.size() > limit)
                    __builtin_trap();
            } catch (const MetrolaError &) {
            }
        }
        reader.verify();
    } catch (const MetrolaError &e) {
        if (e.message().isEmpty())
            __builtin_trap();
    }
    return 0;
}
