#pragma once

#include <QByteArray>

// Project data that travels in an extra archive member the model does not interpret itself
// (the leases): the session keeps it, saves and the recovery copy ask it for its bytes, and
// the folder that understands it reads it back. The model stands below that folder, so it
// knows the data only through this face.
class SideMember
{
public:
    virtual ~SideMember() = default;
    // Whether there is anything to write; an empty member is left out of the archive.
    virtual bool hasContent() const = 0;
    // The member's bytes exactly as they are to be stored.
    virtual QByteArray build() const = 0;
};
